// SPDX-License-Identifier: GPL-3.0-or-later
// The client's receive path fed arbitrary bytes in arbitrary pieces: the
// handshake stages, the line reader with its length limit and the router,
// exactly as they run on the socket.
//
// Checked: every routed message comes from a complete line of the input that
// is within the line limit, is a reply or event word of the table, and once
// the client is past the challenge, what it leaves buffered stays below one
// line's worth.

#include "FeedDevice.h"
#include "FuzzSupport.h"
#include "client/MessageNames.h"
#include "client/SMsg.h"
#include "client/Tesra.h"

#include <QSet>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// The texts of the complete lines of stream that a line read of the client's
// limit returns whole, as the router sees them.
QSet<QString> wholeLines(const QByteArray &stream)
{
    QSet<QByteArray> raw;
    int start = 0;
    for (int end = stream.indexOf('\n'); end >= 0; end = stream.indexOf('\n', start)) {
        if (end + 1 - start <= Tesra::LineLimit - 1)
            raw.insert(stream.mid(start, end - start));
        start = end + 1;
    }
    QSet<QString> lines;
    for (QByteArray line : qAsConst(raw)) {
        const int nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        lines.insert(SMsg::normalise(QString::fromUtf8(line)));
    }
    return lines;
}

// One client for every input, as one client lives through many connections:
// set up once, with every signal the routing table emits a line as noted in
// routed, and started over after each input.
struct Receiver
{
    Tesra client;
    QList<SMsg> routed;

    Receiver()
    {
        // No key file name: the client takes its built-in key file
        // ":Fuzz.key" (keys/keys.qrc), read from memory rather than a file.
        client.SetKeyFile(QString(), QStringLiteral("Fuzz"));
        for (int id = 0; id < MessageNames::IdCount; ++id) {
            if (const MessageNames::Signal sig = MessageNames::signalFor(id))
                QObject::connect(&client, sig, [this](SMsg msg) { routed.append(msg); });
        }
    }
};

void exercise(Tesra &client, const QList<SMsg> &routed, const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);

    FeedDevice device;
    QByteArray stream;
    while (input.remaining_bytes() > 0) {
        // The piece sizes come from the end of the input, the bytes from its
        // front; now and then a piece arrives several times over, which makes
        // lines past the limit out of a short input.
        const size_t length = input.ConsumeIntegralInRange<size_t>(1, 512);
        const int repeat = input.ConsumeIntegralInRange<int>(0, 15) == 15 ? 9 : 1;
        const std::string piece = input.ConsumeBytesAsString(length);
        QByteArray bytes = QByteArray(piece.data(), int(piece.size())).repeated(repeat);
        stream += bytes;
        device.feed(bytes);

        const int stageBefore = client.handshakeStage();
        client.ReadFrom(device);
        if (stageBefore != Tesra::AwaitChallenge)
            FuzzSupport::check(device.bytesAvailable() < Tesra::LineLimit,
                               "buffered input above one line");
    }

    if (routed.isEmpty())
        return;
    const QSet<QString> lines = wholeLines(stream);
    for (const SMsg &msg : qAsConst(routed)) {
        FuzzSupport::check(lines.contains(msg.line), "routed a message from no whole line");
        FuzzSupport::check((msg.kind == SMsg::Request && MessageNames::isReplyId(msg.msgId)) ||
                               (msg.kind == SMsg::Event && MessageNames::isEventId(msg.msgId)),
                           "routed a word that is not a reply or event of the table");
    }
    FuzzSupport::check(routed.size() <= stream.count('\n'), "more messages than lines");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Receiver receiver;
    exercise(receiver.client, receiver.routed, data, size);
    // Back to the state of the first input, with nothing of this one left
    // for the next to free: libFuzzer takes an input that allocates more
    // than it frees for a possible leak and runs it again to look.
    receiver.routed.clear();
    receiver.client.restartHandshake();
    return 0;
}
