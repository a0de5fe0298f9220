<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>AlarmAnnunciator</name>
    <message>
        <source>%1 unacknowledged alarm(s)</source>
        <translation>未確認の警報 %1 件</translation>
    </message>
    <message>
        <source>Click to show the alarm list</source>
        <translation>クリックで警報一覧を表示</translation>
    </message>
</context>
<context>
    <name>AlarmBadge</name>
    <message>
        <source>Alarm</source>
        <translation>警報</translation>
    </message>
    <message>
        <source>Alarm: %1</source>
        <translation>警報: %1</translation>
    </message>
</context>
<context>
    <name>AlarmDock</name>
    <message>
        <source>Acknowledge</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Acknowledge All</source>
        <translation>すべて確認</translation>
    </message>
    <message>
        <source>Shelve 1 h</source>
        <translation>1 時間保留</translation>
    </message>
    <message>
        <source>Shelve 8 h</source>
        <translation>8 時間保留</translation>
    </message>
    <message>
        <source>Unshelve</source>
        <translation>保留解除</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>警報一覧</translation>
    </message>
</context>
<context>
    <name>AlarmTable</name>
    <message>
        <source>HV fault</source>
        <translation>HV 異常</translation>
    </message>
    <message>
        <source>HV off its set voltage</source>
        <translation>HV 設定電圧から逸脱</translation>
    </message>
    <message>
        <source>Amplifier overload</source>
        <translation>アンプ過負荷</translation>
    </message>
    <message>
        <source>Not answering</source>
        <translation>応答なし</translation>
    </message>
    <message>
        <source>Link lost</source>
        <translation>接続断</translation>
    </message>
    <message>
        <source>Major</source>
        <translation>重大</translation>
    </message>
    <message>
        <source>Minor</source>
        <translation>軽度</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>ステーション</translation>
    </message>
    <message>
        <source>Shelved until %1</source>
        <translation>%1 まで保留</translation>
    </message>
    <message>
        <source>Severity</source>
        <translation>重要度</translation>
    </message>
    <message>
        <source>Module</source>
        <translation>モジュール</translation>
    </message>
    <message>
        <source>Condition</source>
        <translation>種類</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>値</translation>
    </message>
    <message>
        <source>Raised</source>
        <translation>発生</translation>
    </message>
    <message>
        <source>Cleared</source>
        <translation>解消</translation>
    </message>
    <message>
        <source>Acknowledged by</source>
        <translation>確認者</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>確認時刻</translation>
    </message>
    <message>
        <source>Shelved until</source>
        <translation>保留期限</translation>
    </message>
</context>
<context>
    <name>AmplifierDevice</name>
    <message>
        <source>Set Table: no range or suppression value reported yet; nothing was added to %1</source>
        <translation>「テーブルに書込」: レンジまたは電流抑制値がまだ報告されていません。%1 には何も追加していません</translation>
    </message>
    <message>
        <source>Set Table: the suppression value “%1” is not a number; nothing was added to %2</source>
        <translation>「テーブルに書込」: 電流抑制値「%1」は数値ではありません。%2 には何も追加していません</translation>
    </message>
</context>
<context>
    <name>Body</name>
    <message>
        <source>Brenlow</source>
        <translation>ブレンロー</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>メニュー</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>終了</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Check the configuration file, print its problems and end.</source>
        <translation>設定ファイルを検査し、問題を表示して終了します。</translation>
    </message>
    <message>
        <source>English interface.</source>
        <translation>英語の画面にします。</translation>
    </message>
    <message>
        <source>Japanese interface (the default).</source>
        <translation>日本語の画面にします (既定)。</translation>
    </message>
    <message>
        <source>Monitor only: send no command to any device.</source>
        <translation>監視のみ: 機器にはコマンドを一切送りません。</translation>
    </message>
    <message>
        <source>Operator panel for the ion chambers of an experimental station.</source>
        <translation>実験ステーションのイオンチャンバを操作するパネルです。</translation>
    </message>
    <message>
        <source>Open the trends window at start; with --screenshot, picture it a while after the link is ready.</source>
        <translation>起動時にトレンドウィンドウを開きます。--screenshot と併用すると、接続の確立からしばらく後にその画像を書き出します。</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>オプション:</translation>
    </message>
    <message>
        <source>Print how the station differs from the snapshot file, then end (0: no difference, 1: differences, 2: unreadable file or no link).</source>
        <translation>ステーションとスナップショットファイルの違いを表示して終了します (0: 違いなし、1: 違いあり、2: ファイルが読めないか接続できない)。</translation>
    </message>
    <message>
        <source>Put the snapshot file&apos;s amplifier settings back, then end (0: all read back, 1: otherwise, 2: unreadable file); HV modules are sent nothing.</source>
        <translation>スナップショットファイルのアンプ設定を元に戻して終了します (0: すべて読み戻しで一致、1: それ以外、2: ファイルが読めない)。HV モジュールには何も送りません。</translation>
    </message>
    <message>
        <source>Select config file of ini format.</source>
        <translation>INI 形式の設定ファイルを指定します。</translation>
    </message>
    <message>
        <source>Show the version and end.</source>
        <translation>バージョンを表示して終了します。</translation>
    </message>
    <message>
        <source>Show this help and end.</source>
        <translation>このヘルプを表示して終了します。</translation>
    </message>
    <message>
        <source>The whole description: man %1</source>
        <translation>詳しい説明: man %1</translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation>使い方: %1 [オプション]</translation>
    </message>
    <message>
        <source>Without -c the configuration is read from %1 in the working directory.</source>
        <translation>-c がなければ、作業ディレクトリの %1 を設定ファイルとして読みます。</translation>
    </message>
    <message>
        <source>Write a PNG picture of the window to the file, then end.</source>
        <translation>ウィンドウの PNG 画像をファイルに書き出して終了します。</translation>
    </message>
    <message>
        <source>Write the station&apos;s settings to the snapshot file, then end (0: every value answered, 2: some are null, 1: not written or no link).</source>
        <translation>ステーションの設定をスナップショットファイルに書き出して終了します (0: すべての値に応答あり、2: null の値あり、1: 書き込めないか接続できない)。</translation>
    </message>
</context>
<context>
    <name>HistoryView</name>
    <message>
        <source>Trends…</source>
        <translation>トレンド…</translation>
    </message>
    <message>
        <source>Export History…</source>
        <translation>履歴のエクスポート…</translation>
    </message>
    <message>
        <source>History file %1 cannot be used: %2</source>
        <translation>履歴ファイル %1 を使用できません: %2</translation>
    </message>
    <message>
        <source>History database %1 cannot be used: %2</source>
        <translation>履歴データベース %1 を使用できません: %2</translation>
    </message>
    <message>
        <source>history database unreachable since %1</source>
        <translation>%1 から履歴データベースに接続できません</translation>
    </message>
    <message>
        <source>Export History</source>
        <translation>履歴のエクスポート</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV ファイル (*.csv)</translation>
    </message>
    <message>
        <source>History exported to %1</source>
        <translation>履歴を %1 にエクスポートしました</translation>
    </message>
    <message>
        <source>History cannot be exported to %1: %2</source>
        <translation>履歴を %1 にエクスポートできません: %2</translation>
    </message>
</context>
<context>
    <name>LinkDeadlines</name>
    <message>
        <source>Cut off: no answer from the server during the handshake (%1:%2)</source>
        <translation>打ち切り: 認証中にサーバーから応答がありません（%1:%2）</translation>
    </message>
</context>
<context>
    <name>LinkGuard</name>
    <message>
        <source>Link lost at %1: this value may be out of date</source>
        <translation>%1 に接続が切れました: この値は古い可能性があります</translation>
    </message>
    <message>
        <source>Not connected yet: no value has arrived</source>
        <translation>未接続: まだ値を受信していません</translation>
    </message>
</context>
<context>
    <name>LinkStatus</name>
    <message>
        <source>%1, retrying in %2 s, attempt %3</source>
        <translation>%1、%2 秒後に再接続（%3 回目）</translation>
    </message>
    <message>
        <source>Connected as %1 to %2:%3, since %4</source>
        <translation>%1 として %2:%3 に接続中（%4 から）</translation>
    </message>
    <message>
        <source>Connecting to %1:%2</source>
        <translation>%1:%2 に接続しています</translation>
    </message>
    <message>
        <source>Lost at %1</source>
        <translation>%1 に接続が切れました</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未接続</translation>
    </message>
    <message>
        <source>Not connecting: no valid port</source>
        <translation>接続しません: 有効なポートがありません</translation>
    </message>
    <message>
        <source>Not connecting: the client name holds white space</source>
        <translation>接続しません: クライアント名に空白が含まれています</translation>
    </message>
    <message>
        <source>Reconnect</source>
        <translation>再接続</translation>
    </message>
    <message>
        <source>Refused: the server closed the link during the handshake (%1:%2)</source>
        <translation>拒否: 認証中にサーバーが接続を閉じました（%1:%2）</translation>
    </message>
</context>
<context>
    <name>ReadOnlyLock</name>
    <message>
        <source>%1 (read-only)</source>
        <translation>%1（読み取り専用）</translation>
    </message>
</context>
<context>
    <name>SetVGuard</name>
    <message>
        <source>above the usable maximum of %1 V</source>
        <translation>使用可能な最大電圧 %1 V を超えています</translation>
    </message>
</context>
<context>
    <name>SilenceBadge</name>
    <message>
        <source>!</source>
        <translation>!</translation>
    </message>
    <message>
        <source>%1 not answering since %2</source>
        <translation>%1 が %2 から応答しません</translation>
    </message>
</context>
<context>
    <name>SnapshotTable</name>
    <message>
        <source>Module</source>
        <translation>モジュール</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>スナップショット</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>現在値</translation>
    </message>
    <message>
        <source>on</source>
        <translation>オン</translation>
    </message>
    <message>
        <source>off</source>
        <translation>オフ</translation>
    </message>
    <message>
        <source>not reported</source>
        <translation>未応答</translation>
    </message>
    <message>
        <source>Node</source>
        <translation>ノード</translation>
    </message>
    <message>
        <source>not in the station</source>
        <translation>ステーションにありません</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>レンジ</translation>
    </message>
    <message>
        <source>Zero check</source>
        <translation>ゼロチェック</translation>
    </message>
    <message>
        <source>Current suppression</source>
        <translation>電流補正</translation>
    </message>
    <message>
        <source>Suppression value</source>
        <translation>電流補正値</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>フィルタ</translation>
    </message>
    <message>
        <source>Time constant</source>
        <translation>時定数</translation>
    </message>
    <message>
        <source>Filter mode</source>
        <translation>フィルタモード</translation>
    </message>
    <message>
        <source>Bias</source>
        <translation>バイアス</translation>
    </message>
    <message>
        <source>Bias voltage</source>
        <translation>バイアス電圧</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>入力端子</translation>
    </message>
    <message>
        <source>Back light</source>
        <translation>バックライト</translation>
    </message>
    <message>
        <source>Set voltage</source>
        <translation>設定電圧</translation>
    </message>
    <message>
        <source>Ramp rate</source>
        <translation>ランプレート</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>ステータス</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>電圧</translation>
    </message>
    <message>
        <source>Max V</source>
        <translation>最大電圧</translation>
    </message>
    <message>
        <source>V limit</source>
        <translation>電圧制限</translation>
    </message>
</context>
<context>
    <name>SnapshotTool</name>
    <message>
        <source>Snapshots (*.json)</source>
        <translation>スナップショット (*.json)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>すべてのファイル (*)</translation>
    </message>
    <message>
        <source>Save Snapshot…</source>
        <translation>スナップショットを保存…</translation>
    </message>
    <message>
        <source>Compare with Snapshot…</source>
        <translation>スナップショットと比較…</translation>
    </message>
    <message>
        <source>Restore Amplifiers from Snapshot…</source>
        <translation>スナップショットからアンプを復元…</translation>
    </message>
    <message>
        <source>Amplifiers restored from %1.</source>
        <translation>%1 からアンプを復元しました。</translation>
    </message>
    <message>
        <source>Restore from %1 incomplete: %2 setting(s) did not read back.</source>
        <translation>%1 からの復元は未完了です: %2 件の設定が読み戻せませんでした。</translation>
    </message>
    <message>
        <source>Save Snapshot</source>
        <translation>スナップショットを保存</translation>
    </message>
    <message>
        <source>Compare with Snapshot</source>
        <translation>スナップショットと比較</translation>
    </message>
    <message>
        <source>Restore Amplifiers from Snapshot</source>
        <translation>スナップショットからアンプを復元</translation>
    </message>
    <message>
        <source>Cannot write the snapshot %1: %2</source>
        <translation>スナップショット %1 を書き込めません: %2</translation>
    </message>
    <message>
        <source>Snapshot saved to %1; %2 value(s) not reported (null).</source>
        <translation>スナップショットを %1 に保存しました（未応答の値 %2 個は null）。</translation>
    </message>
    <message>
        <source>Snapshot saved to %1.</source>
        <translation>スナップショットを %1 に保存しました。</translation>
    </message>
    <message>
        <source>Cannot read the snapshot %1: %2</source>
        <translation>スナップショット %1 を読み込めません: %2</translation>
    </message>
    <message>
        <source>Snapshot Comparison: %1</source>
        <translation>スナップショットとの比較: %1</translation>
    </message>
    <message>
        <source>The station matches the snapshot %1.</source>
        <translation>ステーションはスナップショット %1 と一致しています。</translation>
    </message>
    <message>
        <source>Settings that differ from the snapshot %1: %2</source>
        <translation>スナップショット %1 と異なる設定: %2 件</translation>
    </message>
    <message>
        <source>Nothing to restore: the station matches the snapshot %1.</source>
        <translation>復元するものはありません。ステーションはスナップショット %1 と一致しています。</translation>
    </message>
    <message>
        <source>Restore Amplifiers</source>
        <translation>アンプの復元</translation>
    </message>
    <message>
        <source>Restore the amplifier settings from the snapshot %1?</source>
        <translation>スナップショット %1 からアンプの設定を復元しますか？</translation>
    </message>
    <message>
        <source>HV set voltages are only filled in; the module&apos;s Start applies them.</source>
        <translation>HV の設定電圧は入力欄に入れるだけです。適用はモジュールの「ON」ボタンで行います。</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>復元</translation>
    </message>
    <message>
        <source>Restoring the amplifiers from %1…</source>
        <translation>%1 からアンプを復元しています…</translation>
    </message>
    <message>
        <source>Differs</source>
        <translation>相違</translation>
    </message>
    <message>
        <source>Differs from the snapshot: %1</source>
        <translation>スナップショットとの相違: %1</translation>
    </message>
    <message>
        <source>Not restored, not the device the snapshot was taken of: %1.</source>
        <translation>スナップショットを取った機器ではないため復元しません: %1。</translation>
    </message>
    <message>
        <source>%1 value(s) of the file not used (see the debug log).</source>
        <translation>ファイルの値 %1 個は使用しません（デバッグログ参照）。</translation>
    </message>
    <message>
        <source>The snapshot was taken through the server %1; the station now uses %2.</source>
        <translation>スナップショットはサーバー %1 経由で取得されました。ステーションは現在 %2 を使用しています。</translation>
    </message>
</context>
<context>
    <name>StatusNotes</name>
    <message>
        <source>Configuration file %1 not found: built-in defaults in use</source>
        <translation>設定ファイル %1 が見つかりません: 組み込みの既定値を使用中</translation>
    </message>
    <message>
        <source>Configuration file %1 cannot be read: built-in defaults in use</source>
        <translation>設定ファイル %1 が読めません: 組み込みの既定値を使用中</translation>
    </message>
    <message>
        <source>Unknown configuration keys: %1 (see the debug log)</source>
        <translation>不明な設定キー: %1 個（デバッグログ参照）</translation>
    </message>
    <message>
        <source>Command log %1 cannot be opened: no commands are recorded</source>
        <translation>コマンドログ %1 が開けません: コマンドは記録されません</translation>
    </message>
    <message>
        <source>read-only: no commands are sent</source>
        <translation>読み取り専用: コマンドは送信されません</translation>
    </message>
    <message>
        <source>Command log %1 cannot be written (%2): commands are not being recorded</source>
        <translation>コマンドログ %1 に書き込めません（%2）: コマンドは記録されていません</translation>
    </message>
    <message>
        <source>Not sent, the link is not ready: %1</source>
        <translation>送信されていません（リンクが準備できていません）: %1</translation>
    </message>
    <message>
        <source>Key file %1 can be read or written by others than its owner: make it private</source>
        <translation>key ファイル %1 は所有者以外も読み書きできます: 非公開にしてください</translation>
    </message>
    <message>
        <source>Not built, a name holds white space: %1 (see the debug log)</source>
        <translation>空白を含む名前のため作成していません: %1（デバッグログ参照）</translation>
    </message>
</context>
<context>
    <name>Tesra</name>
    <message>
        <source>%1 %2
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot open [%1.key]</source>
        <translation>Tesra の key ファイル [%1.key] が開けません。</translation>
    </message>
    <message>
        <source>Cannot open both [%1.key] and [:%2.key]</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TimelineModel</name>
    <message>
        <source>Status %1</source>
        <translation>状態 %1</translation>
    </message>
    <message>
        <source>Overload set</source>
        <translation>過負荷発生</translation>
    </message>
    <message>
        <source>Overload cleared</source>
        <translation>過負荷解除</translation>
    </message>
    <message>
        <source>Range %1</source>
        <translation>レンジ %1</translation>
    </message>
    <message>
        <source>Link ready: %1</source>
        <translation>接続完了: %1</translation>
    </message>
    <message>
        <source>Link lost: %1</source>
        <translation>接続断: %1</translation>
    </message>
    <message>
        <source>Link refused: %1</source>
        <translation>接続拒否: %1</translation>
    </message>
    <message>
        <source>Silent device: %1</source>
        <translation>応答なし: %1</translation>
    </message>
    <message>
        <source>Not archived (queue full): %1</source>
        <translation>アーカイブされず (キューが満杯): %1</translation>
    </message>
    <message>
        <source>(link)</source>
        <translation>（接続）</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時刻</translation>
    </message>
    <message>
        <source>Module</source>
        <translation>モジュール</translation>
    </message>
    <message>
        <source>Event</source>
        <translation>イベント</translation>
    </message>
    <message>
        <source>Alarm raised: %1</source>
        <translation>警報発生: %1</translation>
    </message>
    <message>
        <source>Alarm cleared: %1</source>
        <translation>警報解消: %1</translation>
    </message>
    <message>
        <source>Alarm acknowledged: %1</source>
        <translation>警報確認: %1</translation>
    </message>
    <message>
        <source>Alarm shelved: %1</source>
        <translation>警報保留: %1</translation>
    </message>
    <message>
        <source>Alarm unshelved: %1</source>
        <translation>警報保留解除: %1</translation>
    </message>
</context>
<context>
    <name>TrendChart</name>
    <message>
        <source>Voltage [V]</source>
        <translation>電圧 [V]</translation>
    </message>
    <message>
        <source>Voltage</source>
        <translation>電圧</translation>
    </message>
</context>
<context>
    <name>TrendsWindow</name>
    <message>
        <source>10 min</source>
        <translation>10 分</translation>
    </message>
    <message>
        <source>1 h</source>
        <translation>1 時間</translation>
    </message>
    <message>
        <source>24 h</source>
        <translation>24 時間</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>ON</translation>
    </message>
    <message>
        <source>OFF or no voltage</source>
        <translation>OFF または電圧なし</translation>
    </message>
    <message>
        <source>L2H</source>
        <translation>L2H（昇圧中）</translation>
    </message>
    <message>
        <source>H2L</source>
        <translation>H2L（降圧中）</translation>
    </message>
    <message>
        <source>Other status</source>
        <translation>その他の状態</translation>
    </message>
    <message>
        <source>Trends</source>
        <translation>トレンド</translation>
    </message>
    <message>
        <source>Span:</source>
        <translation>表示期間:</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>最新</translation>
    </message>
    <message>
        <source>Overload</source>
        <translation>過負荷</translation>
    </message>
    <message>
        <source>Link down</source>
        <translation>接続断</translation>
    </message>
    <message>
        <source>The station has no HV module.</source>
        <translation>この設定には HV モジュールがありません。</translation>
    </message>
    <message>
        <source>Charts</source>
        <translation>グラフ</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>イベント</translation>
    </message>
    <message>
        <source>%1 to now</source>
        <translation>%1 から現在まで</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 から %2 まで</translation>
    </message>
    <message>
        <source>%1 (reading the archive…)</source>
        <translation>%1 (アーカイブを読み込み中…)</translation>
    </message>
</context>
<context>
    <name>UnsentEdits</name>
    <message>
        <source>Not sent, the link is not ready: %1. It stays in its field; confirm it again once the link is back.</source>
        <translation>送信されていません（リンクが準備できていません）: %1。値は入力欄に残っています。リンク復帰後にもう一度確定してください。</translation>
    </message>
    <message>
        <source>“%1” was not sent: the link was not ready at %2. Confirm it again once the link is back.</source>
        <translation>「%1」は送信されていません: %2 にリンクが準備できていませんでした。リンク復帰後にもう一度確定してください。</translation>
    </message>
</context>
<context>
    <name>aCA</name>
    <message>
        <source>BL. High</source>
        <translation>明</translation>
    </message>
    <message>
        <source>BL. Low</source>
        <translation>暗</translation>
    </message>
    <message>
        <source>BL. Off</source>
        <translation>消灯</translation>
    </message>
    <message>
        <source>BV. Off</source>
        <translation>オフ</translation>
    </message>
    <message>
        <source>BV. On</source>
        <translation>オン</translation>
    </message>
    <message>
        <source>Back Light</source>
        <translation>パネル・バックライト</translation>
    </message>
    <message>
        <source>Current Spr.</source>
        <translation>電流補正</translation>
    </message>
    <message>
        <source>Er: AutoCSpr while ZeroCHK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: CMD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: CMD Arg</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: CSpr Over</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: CSpr Set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: Mem Err</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: Over!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Er: Self CHK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>F. Auto</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>F. Manual</source>
        <translation>手動</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>フィルタ</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>前面</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>入力端子</translation>
    </message>
    <message>
        <source>Load Def Setting</source>
        <translation>設定ロード</translation>
    </message>
    <message>
        <source>New</source>
        <translation>設定値</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>現在値</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>レンジ設定</translation>
    </message>
    <message>
        <source>Rear</source>
        <translation>背面</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>リセット</translation>
    </message>
    <message>
        <source>Save Setting</source>
        <translation>設定保存</translation>
    </message>
    <message>
        <source>Set Manually</source>
        <translation>手動設定</translation>
    </message>
    <message>
        <source>Set Table</source>
        <translation>テーブルに書込</translation>
    </message>
    <message>
        <source>Set from TBL</source>
        <translation>テーブルの値を使用</translation>
    </message>
    <message>
        <source>Show Details</source>
        <translation>詳細表示</translation>
    </message>
    <message>
        <source>Show Stat</source>
        <translation>状態表示</translation>
    </message>
    <message>
        <source>Use CSpr</source>
        <translation>電流補正する</translation>
    </message>
    <message>
        <source>Use F.</source>
        <translation>使用する</translation>
    </message>
    <message>
        <source>V. Bias</source>
        <translation>バイアス電圧</translation>
    </message>
    <message>
        <source>Zero Check</source>
        <translation>ゼロ・チェック</translation>
    </message>
    <message>
        <source>a CA</source>
        <translation>電流アンプ</translation>
    </message>
</context>
<context>
    <name>aHV</name>
    <message>
        <source>15</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Current V</source>
        <translation>現在の電圧</translation>
    </message>
    <message>
        <source>Max V</source>
        <translation>最大電圧</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>ON</translation>
    </message>
    <message>
        <source>Ramp [V/s]</source>
        <translation>変化速度</translation>
    </message>
    <message>
        <source>Set V</source>
        <translation>電圧設定</translation>
    </message>
    <message>
        <source>Show Details</source>
        <translation>詳細表示</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状態</translation>
    </message>
    <message>
        <source>a HV</source>
        <translation>高圧電源</translation>
    </message>
    <message>
        <source>a HV module</source>
        <translation>高圧電源モジュール</translation>
    </message>
</context>
<context>
    <name>aIC</name>
    <message>
        <source>Frame</source>
        <translation>イオンチャンバ</translation>
    </message>
</context>
</TS>
