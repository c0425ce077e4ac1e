#include "string_table.h"

#include "message_catalog.h"
#include "resource.h"

#include <unordered_map>

namespace
{

const std::unordered_map<UINT, std::string>& Table()
{
    static const std::unordered_map<UINT, std::string> table = {
        {IDS_NOT_MIDI_FILE, "これはＭＩＤＩファイルではありません"},
        {IDS_LOAD_MIDI_FILE, "ＭＩＤＩファイルを読みこんでください"},
        {IDS_SONG_ENDS_EARLY,
         "ファイル %1 は途中で終わっています。ヘッダーは %2 トラックを知らせていますが、"
         "トラックの終わり（FF 2F 00）は %3 個しか見つかりませんでした。"},
        {IDS_PLAYER_NO_SOUNDFONT,
         "SoundFont が見つかりません。--soundfont か環境変数 TARVEL1_SOUNDFONT で指定するか、"
         "timgm6mb-soundfont を入れてください（探した場所: %1）。"},
        {IDS_PLAYER_BAD_SOUNDFONT, "SoundFont %1 を読みこめませんでした（%2）。"},
        {IDS_PLAYER_NOT_A_SOUNDFONT, "SoundFont の形式ではありません"},
        {IDS_PLAYER_NO_AUDIO_DEVICE, "音を出す装置を開けませんでした（%1）。"},
        {IDS_PLAYER_UNKNOWN_DRIVER, "オーディオドライバー %1 はありません。使えるのは %2 です。"},
        {IDS_PLAYER_DEVICE_NOT_OPEN, "演奏装置が開かれていません。START を押してください。"},
        {IDS_PLAYER_CANNOT_PLAY, "ファイル %1 は演奏できません（%2）。"},
        {IDS_PLAYER_NO_SONG_PATH,
         "演奏するファイルがまだありません。曲を変換してから START を押してください。"},
        {IDS_PLAYER_SYNTH_FAILED, "シンセサイザーを用意できませんでした（%1）。"},
        {IDS_PLAYER_NO_MIDI_PORT, "MIDI ポート %1 を開けませんでした（%2）。"},
        {IDS_PLAYER_RENDER_TOO_LONG, "曲の長さ %1 は書き出せる長さ %2 を超えています。"},
        {IDS_PLAYER_UNKNOWN_AUDIO_FORMAT,
         "%1 の拡張子からは音声ファイルの形式がわかりません。.wav、.flac、.ogg "
         "のどれかにしてください。"},
        {IDS_PLAYER_NO_MIDI_PORTS, "MIDI ポートを調べられませんでした（%1）。"},
        {IDS_PLAYER_NO_MODULE, "演奏部品 %1 を読みこめませんでした（%2）。"},
        {IDS_PLAYER_NO_SUCH_PORT, "名前に %1 を含むポートはありません。あるのは %2 です"},
        {IDS_PLAYER_NO_PORTS_AT_ALL, "ひとつもありません"},
        {IDS_SMF_BAD_HEADER, "ヘッダーの長さが 6 でないか、形式が 0、1、2 のどれでもありません"},
        {IDS_SMF_SMPTE, "SMPTE 形式の時間単位には対応していません"},
        {IDS_SMF_TOO_MANY_TRACKS, "トラックが 127 を超えています"},
        {IDS_SMF_TRUNCATED, "トラック %1 が途中で終わっています"},
        {IDS_SMF_BAD_CHUNK, "トラック %1 の前のチャンク名が壊れています"},
        {IDS_SMF_BAD_EVENT, "トラック %1 に読めないイベントがあります"},
        {IDS_SMF_SHORT_HEADER, "ヘッダーが 6 バイトより短いか、途中で終わっています"},
        {IDS_SMF_BAD_FORMAT, "形式 %1 は 0、1、2 のどれでもありません"},
        {IDS_SMF_ZERO_DIVISION, "時間単位が 0 です"},
        {IDS_SMF_NO_TRACKS, "トラックがひとつもありません"},
        {AFX_IDP_FAILED_TO_OPEN_DOC, "ファイル %1 を開けませんでした（%2）。"},
        {AFX_IDP_FAILED_TO_SAVE_DOC, "ファイル %1 を保存できませんでした（%2）。"},
        {AFX_IDP_FILE_ENDS_EARLY,
         "ファイル %1 は途中で終わっています。ヘッダーが知らせるトラックの終わりがそろう前に"
         "ファイルが尽きました。"},
        {AFX_IDP_SONG_TOO_LARGE,
         "ファイル %1 は曲が大きすぎて読みこめません。曲の最後のトラックの終わりが "
         "64 MiB（67108864 バイト）を超えています。"},
        {AFX_IDP_FAILED_TO_WRITE, "ファイル %1 に書きこめませんでした（%2）。"},
        {AFX_IDP_FAILED_TO_READ, "ファイル %1 を読みこめませんでした（%2）。"},
        {AFX_IDP_FILE_NOT_FOUND, "ファイル %1 が見つかりません（%2）。"},
        {AFX_IDP_NOT_REGULAR_FILE, "パイプやデバイスなど、通常のファイルではありません"},

        {IDS_CLI_USAGE,
         "使い方: %1 [オプション] [-o 出力] 入力.mid\n"
         "        %1 [オプション] -o フォルダー 入力.mid...\n"
         "        %1 [オプション] -o フォルダー -r 入力フォルダー...\n"
         "\n"
         "Standard MIDI File を変換します。MODE の音階から外れた音を、KEY から数えて\n"
         "半音下げます。\"invert\" はオクターブの中で音を反転します。10 チャンネルの\n"
         "ドラムは変えません。\n"
         "\n"
         "  -k, --key=KEY        C C# D D# E F F# G G# A A# B のどれか（既定は C）。\n"
         "                       auto は入力ごとに曲の音から推定したキーの主音\n"
         "  -m, --mode=MODE      \"Non convert\" major minor aug dim invert のどれか\n"
         "                       （既定は \"Non convert\"）\n"
         "  -o, --output=OUT     書き出すファイル、または入力ごとに書き出すフォルダー。\n"
         "                       - は標準出力（既定はプログラムの temp.mid）\n"
         "  -r, --recursive      入力フォルダーの下の曲（.mid .midi .kar .smf）をすべて、\n"
         "                       同じ相対パスで -o のフォルダーへ書き出す\n"
         "  -n, --no-clobber     すでにある出力ファイルはそのままにする\n"
         "      --report         書き出したファイルの代わりに、入力ごとに移動した音の数を\n"
         "                       \"入力: N of M notes moved\" の形で表示する\n"
         "      --picture=FILE   変換の前と後のﾋﾟｱﾉﾛｰﾙを FILE（.png か .svg）に描く\n"
         "      --print-key      入力ごとに曲の音から推定したキーを \"入力: D minor\" の形で\n"
         "                       表示する。-o がなければ何も変換しない\n"
         "      --play           変換した曲を演奏する（スペースで一時停止と再開、← → で\n"
         "                       5 秒もどる・進む、q で終了）\n"
         "      --render=FILE    変換した曲をステレオの音声ファイルに書き出す\n"
         "                       （拡張子で .wav .flac .ogg のどれか）\n"
         "      --sample-rate=HZ --render のサンプリング周波数。8000 から 96000 まで\n"
         "                       （既定は 44100）。シンセサイザーがこの周波数で鳴らす\n"
         "      --sample-format=FMT  --render のサンプル形式。s16（16 ビット、既定）、\n"
         "                       s24（24 ビット、.wav .flac）、f32（32 ビット浮動小数点、\n"
         "                       .wav）のどれか\n"
         "      --soundfont=FILE General MIDI の SoundFont（既定は $TARVEL1_SOUNDFONT、\n"
         "                       次にシステムの既定の GM SoundFont）\n"
         "      --audio-driver=NAME  pulseaudio alsa jack sdl2 none など（既定は\n"
         "                       $TARVEL1_AUDIO_DRIVER、次に pulseaudio alsa jack sdl2 の順）\n"
         "      --midi-port=NAME 名前に NAME を含む最初の MIDI ポートで演奏する\n"
         "      --list-midi-ports  MIDI 出力ポートを一行にひとつずつ表示する\n"
         "  -h, --help           この説明を表示する\n"
         "      --version        版を表示する\n"
         "\n"
         "キーの推定は、長さで重みを付けた音の分布と低音の分布を長調と短調の 24 の\n"
         "キーの型と比べ、最初と最後の低音が同じ音ならその音を主音として重く見ます。\n"
         "転調する曲、無調の曲、音の少ない曲では外れることがあり、確からしさが低い\n"
         "ときは標準エラー出力に一行で知らせます。\n"
         "\n"
         "入力の - は標準入力です。出力が入力を上書きするとき、二つの入力が同じ出力に\n"
         "なるときは、何も書かずに終了します。\n"
         "終了状態: 0 すべて書けた、1 読めない入力や書けない出力があった、2 使い方の誤り。\n"
         "詳しくは man %1 を見てください。\n"},
        {IDS_CLI_TRY_HELP, "詳しくは '%1 --help' を実行してください。"},
        {IDS_CLI_BAD_OPTION,
         "'%1' は使えるオプションではありません（不明か、略し方があいまいです）"},
        {IDS_CLI_MISSING_VALUE, "オプション '%1' には値が要ります"},
        {IDS_CLI_NO_INPUT, "入力ファイルがありません"},
        {IDS_CLI_BAD_KEY, "キー '%1' はありません。使えるのは %2 です"},
        {IDS_CLI_BAD_MODE, "モード '%1' はありません。使えるのは %2 です"},
        {IDS_CLI_SEVERAL_INPUTS, "入力が複数のときは -o で既存のフォルダーを指定してください"},
        {IDS_CLI_RECURSIVE_FOLDER, "-r には -o で出力フォルダーを指定してください"},
        {IDS_CLI_NO_PLAYER, "このビルドには演奏機能がないので --play と --render は使えません"},
        {IDS_CLI_NO_PICTURE, "このビルドにはピアノロールを描く機能がないので --picture は使えません"},
        {IDS_CLI_PLAY_ONE_INPUT, "--play と --render に渡せる入力は一つだけです"},
        {IDS_CLI_PLAY_AND_RENDER, "--play と --render は同時に使えません"},
        {IDS_CLI_STDIN_TWICE, "標準入力 (-) は一度しか読めません"},
        {IDS_CLI_STDIN_NO_NAME, "標準入力 (-) には名前がないのでフォルダーへは書けません。-o "
                                "でファイルを指定してください"},
        {IDS_CLI_STDOUT_ONE_INPUT, "標準出力 (-o -) に書ける入力は一つだけです"},
        {IDS_CLI_OVERWRITES_INPUT,
         "出力が入力 %1 を上書きすることになります。何も書きませんでした"},
        {IDS_CLI_SAME_OUTPUT, "%1 と %2 が同じファイルに書くことになります。何も書きませんでした"},
        {IDS_CLI_STDOUT_FAILED, "標準出力に書きこめませんでした（%1）"},
        {IDS_CLI_PICTURE_ONE_INPUT, "--picture に渡せる入力は一つだけです"},
        {IDS_CLI_REPORT_TO_STDOUT,
         "--report と -o - はどちらも標準出力を使うので、同時には使えません"},
        {IDS_CLI_OUTPUT_INSIDE_INPUT,
         "出力フォルダー %1 は入力フォルダー %2 の中にあります。何も書きませんでした"},
        {IDS_CLI_NO_SONGS, "変換する曲（.mid .midi .kar .smf）が見つかりませんでした"},
        {IDS_CLI_EMPTY_OUTPUT, "-o の名前が空です"},
        {IDS_CLI_EMPTY_INPUT, "入力の名前が空です"},
        {IDS_CLI_BAD_PICTURE,
         "--picture のファイル '%1' は .png か .svg で終わる名前にしてください"},
        {IDS_CLI_EMPTY_STDIN, "空です"},
        {IDS_CLI_PRINT_KEY_TO_STDOUT,
         "--print-key と -o - はどちらも標準出力を使うので、同時には使えません"},
        {IDS_CLI_PRINT_KEY_ONLY,
         "-o のない --print-key は何も変換しないので、--report、--picture、--play、--render "
         "とは使えません"},
        {IDS_CLI_KEY_UNCERTAIN, "推定キー %1 は確かではありません（次点は %2）"},
        {IDS_CLI_KEY_NO_NOTES,
         "10 チャンネルのほかに音がないので、キーは推定できません（C major とします）"},
        {IDS_CLI_BAD_SAMPLE_RATE,
         "サンプリング周波数 '%1' は使えません。使えるのは %2 から %3 までの整数（Hz）です"},
        {IDS_CLI_BAD_SAMPLE_FORMAT, "サンプル形式 '%1' はありません。使えるのは %2 です"},
        {IDS_CLI_FORMAT_NOT_IN_FILE,
         "%1 のファイルにはサンプル形式 %2 は書けません。使えるのは %3 です"},
        {IDS_CLI_RENDER_SETTING_ALONE,
         "--sample-rate と --sample-format は --render と一緒に使ってください"},
        {IDS_VERSION_PRODUCT_NAME, "tarvel1 ｱﾌﾟﾘｹｰｼｮﾝ"},
        {IDS_VERSION_FILE_DESCRIPTION, "tarvel1 MFC ｱﾌﾟﾘｹｰｼｮﾝ"},
        {IDS_VERSION_NUMBER, "1.0.0.1"},
        {AFX_IDS_APP_TITLE, "tarvel1"},
        {AFX_IDS_IDLEMESSAGE, "ﾚﾃﾞｨ"},

        // The main frame's document string: title, document name, File New type name, file
        // filter, extension, file-type id, file-type name.
        {IDR_MAINFRAME, "tarvel1\n\nTarvel\n\n\nTarvel1.Document\nTarvel Document"},
        {AFX_IDS_UNTITLED, "無題"},
        {AFX_IDS_OPENFILE, "開く"},
        {AFX_IDS_SAVEFILE, "名前を付けて保存"},
        {AFX_IDS_ALLFILTER, "すべてのﾌｧｲﾙ (*.*)"},

        {IDS_MAIN_WINDOW_TITLE, "ZANTO MIDI PLAYER"},
        {IDS_CMDLINE_SONG, "最初に開くMIDIﾌｧｲﾙ"},
        {IDS_CMDLINE_HELP, "このﾍﾙﾌﾟを表示して終了"},
        {IDS_CMDLINE_VERSION, "ﾊﾞｰｼﾞｮﾝ情報を表示して終了"},
        {IDS_ACCNAME_KEY, "ｷｰ"},
        {IDS_ACCNAME_MODE, "変換ﾓｰﾄﾞ"},
        {IDS_MODE_FIRST + 0, "Non convert"},
        {IDS_MODE_FIRST + 1, "major"},
        {IDS_MODE_FIRST + 2, "minor"},
        {IDS_MODE_FIRST + 3, "aug"},
        {IDS_MODE_FIRST + 4, "dim"},
        {IDS_MODE_FIRST + 5, "invert"},
        {IDS_KEY_FIRST + 0, "C"},
        {IDS_KEY_FIRST + 1, "C#"},
        {IDS_KEY_FIRST + 2, "D"},
        {IDS_KEY_FIRST + 3, "D#"},
        {IDS_KEY_FIRST + 4, "E"},
        {IDS_KEY_FIRST + 5, "F"},
        {IDS_KEY_FIRST + 6, "F#"},
        {IDS_KEY_FIRST + 7, "G"},
        {IDS_KEY_FIRST + 8, "G#"},
        {IDS_KEY_FIRST + 9, "A"},
        {IDS_KEY_FIRST + 10, "A#"},
        {IDS_KEY_FIRST + 11, "B"},

        // Command prompts: status-bar text, line feed, tooltip.
        {ID_FILE_OPEN, "既存のﾌｧｲﾙを開く\n開く"},
        {ID_FILE_SAVE_AS, "作業中のﾌｧｲﾙを新しい名前で保存\n名前をつけて保存"},
        {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了"},
        {ID_APP_ABOUT, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
        {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰの 表示/非表示\nﾂｰﾙ ﾊﾞｰの表示切り替え"},
        {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示切り替え"},
        {ID_VIEW_PIANO_ROLL, "ﾋﾟｱﾉﾛｰﾙの 表示/非表示\nﾋﾟｱﾉﾛｰﾙ"},
        {ID_VIEW_PLAYBACK_SETTINGS, "演奏の出力、SoundFont、ｵｰﾃﾞｨｵ ﾄﾞﾗｲﾊﾞの設定\n演奏設定"},
        {ID_VIEW_USE_ESTIMATED_KEY, "曲の音から推定したキーの主音をｷｰの欄に入れる\n推定キーを使う"},
        {IDS_ESTIMATED_KEY, "推定キー: %1"},
        {IDS_NO_ESTIMATED_KEY, "推定キー: なし（ドラムのほかに音がありません）"},
        {IDS_NOTES_MOVED, "%2 音中 %1 音を移動"},
        {IDS_PIANO_ROLL_TITLE, "ﾋﾟｱﾉﾛｰﾙ"},
        {IDS_ROLL_KEY, "ｷｰ: %1  変換ﾓｰﾄﾞ: %2"},
        {IDS_ROLL_DRUMS, "ﾄﾞﾗﾑ"},
        {IDS_ROLL_DESCRIPTION, "長さ %1、%2"},
        {IDS_ROLL_BARS, "小節"},
        {IDS_ROLL_TIME, "時間"},
        {IDS_NO_SOUND_OUTPUT,
         "音を出せる出力が見つかりません。サウンドカードやサウンドサーバーがないか、使えません。\n"
         "演奏設定で出力（MIDI ポート）やオーディオドライバーを選びますか？"},
        {IDS_PLAYBACK_NO_PORTS_SHORT, "MIDI ポートは使えません"},
        {IDS_OUTPUT_IS_INPUT, "読みこむファイルと同じファイルです"},
        {IDS_PLAYBACK_TITLE, "演奏設定"},
        {IDS_PLAYBACK_OUTPUT, "出力:"},
        {IDS_PLAYBACK_BUILTIN, "内蔵シンセサイザー"},
        {IDS_PLAYBACK_SOUNDFONT, "SoundFont:"},
        {IDS_PLAYBACK_SOUNDFONT_DEFAULT, "空欄のときは %1"},
        {IDS_PLAYBACK_SOUNDFONT_FILTER,
         "SoundFont (*.sf2;*.sf3)|*.sf2;*.sf3|すべてのファイル (*)|*"},
        {IDS_PLAYBACK_DRIVER, "オーディオドライバー:"},
        {IDS_PLAYBACK_DRIVER_AUTO, "自動"},
        {IDS_PLAYBACK_NO_PORTS, "MIDI ポートを調べられませんでした（%1）"},
        {IDS_PLAYBACK_PORT_GONE,
         "MIDI ポート %1 が見つかりません。内蔵シンセサイザーで演奏しますか？"},
        {IDS_PLAYBACK_SOUNDFONT_GONE,
         "SoundFont %1 が見つかりません。既定の SoundFont で演奏しますか？"},
        {ID_INDICATOR_KANA, "ｶﾅ"},
        {ID_INDICATOR_CAPS, "CAP"},
        {ID_INDICATOR_NUM, "NUM"},
        {ID_INDICATOR_SCRL, "SCRL"},
        {ID_INDICATOR_EXT, "EXT"},
        {ID_INDICATOR_OVR, "上書"},
        {ID_INDICATOR_REC, "記録"},
        {ID_FILE_NEW, "新規にﾌｧｲﾙを作成\n新規ﾌｧｲﾙ"},
        {ID_FILE_CLOSE, "作業中のﾌｧｲﾙを閉じる\n閉じる"},
        {ID_FILE_SAVE, "作業中のﾌｧｲﾙを上書きして保存\n保存"},
        {ID_FILE_PAGE_SETUP, "印刷ｵﾌﾟｼｮﾝの変更\nﾍﾟｰｼﾞ ﾚｲｱｳﾄ"},
        {ID_FILE_PRINT_SETUP, "ﾌﾟﾘﾝﾀおよびﾌﾟﾘﾝﾀ ｵﾌﾟｼｮﾝの変更\n印刷設定"},
        {ID_FILE_PRINT, "作業中のﾌｧｲﾙを印刷\n印刷"},
        {ID_FILE_PRINT_PREVIEW, "ﾌﾙ ﾍﾟｰｼﾞ表示\n印刷ﾌﾟﾚﾋﾞｭｰ"},
        {ID_FILE_MRU_FILE1, "このﾌｧｲﾙを開く"},
        {ID_FILE_MRU_FILE1 + 1, "このﾌｧｲﾙを開く"},
        {ID_FILE_MRU_FILE1 + 2, "このﾌｧｲﾙを開く"},
        {ID_FILE_MRU_FILE1 + 3, "このﾌｧｲﾙを開く"},
        {ID_EDIT_CLEAR, "選択範囲を消去\n消去"},
        {ID_EDIT_CLEAR_ALL, "すべて消去\nすべて消去"},
        {ID_EDIT_COPY, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ"},
        {ID_EDIT_CUT, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\n切り取り"},
        {ID_EDIT_FIND, "指定した文字列の検索\n検索"},
        {ID_EDIT_PASTE, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け\n貼り付け"},
        {ID_EDIT_REPEAT, "直前に行った動作を繰り返す\n繰り返し"},
        {ID_EDIT_REPLACE, "指定した文字列を他の文字列で置換\n置換"},
        {ID_EDIT_SELECT_ALL, "ﾌｧｲﾙ内のすべてを選択\nすべて選択"},
        {ID_EDIT_UNDO, "直前に行った動作を元に戻す\n元に戻す"},
        {ID_EDIT_REDO, "直前に行った動作を繰り返す\nやり直し"},
        {ID_WINDOW_SPLIT, "作業中のｳｨﾝﾄﾞｳを分割\n分割"},
        {ID_NEXT_PANE, "次のｳｨﾝﾄﾞｳ ｳｨﾝﾄﾞｳに切り替える\n次のｳｨﾝﾄﾞｳ"},
        {ID_PREV_PANE, "前のｳｨﾝﾄﾞｳ ｳｨﾝﾄﾞｳに切り替える\n前のｳｨﾝﾄﾞｳ"},
        {AFX_IDS_PREVIEW_CLOSE, "印刷ﾌﾟﾚﾋﾞｭｰ ﾓｰﾄﾞを閉じる\nﾌﾟﾚﾋﾞｭｰのｷｬﾝｾﾙ"},

        // Prompts for the frame's system menu.
        {AFX_IDS_SCSIZE, "ｳｨﾝﾄﾞｳのｻｲｽﾞを変更"},
        {AFX_IDS_SCMOVE, "ｳｨﾝﾄﾞｳの位置を変更"},
        {AFX_IDS_SCMINIMIZE, "ｳｨﾝﾄﾞｳを最小化する"},
        {AFX_IDS_SCMAXIMIZE, "ｳｨﾝﾄﾞｳを最大化する"},
        {AFX_IDS_SCNEXTWINDOW, "次のｳｨﾝﾄﾞｳに切り替える"},
        {AFX_IDS_SCPREVWINDOW, "前のｳｨﾝﾄﾞｳに切り替える"},
        {AFX_IDS_SCCLOSE, "作業中のｳｨﾝﾄﾞｳを閉じ、変更したﾌｧｲﾙの保存を指示"},
        {AFX_IDS_SCRESTORE, "ｳｨﾝﾄﾞｳを通常のｻｲｽﾞに戻す"},
        {AFX_IDS_SCTASKLIST, "ｱﾌﾟﾘｹｰｼｮﾝの切り替え"},
    };
    return table;
}

} // namespace

const std::string& LoadResString(UINT id)
{
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it == table.end() ? empty : TranslateResText(it->second);
}

std::vector<std::string> StringTableSourceTexts()
{
    std::vector<std::string> texts;
    for (const auto& entry : Table())
        texts.push_back(entry.second);
    return texts;
}

std::string FormatResString(UINT id, std::string_view arg1, std::string_view arg2,
                            std::string_view arg3)
{
    const std::string& pattern = LoadResString(id);
    const std::string_view args[3] = {arg1, arg2, arg3};
    std::string out;
    out.reserve(pattern.size() + arg1.size() + arg2.size() + arg3.size());
    for (std::size_t i = 0; i < pattern.size(); ++i)
    {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '3')
        {
            out += args[pattern[i + 1] - '1'];
            ++i;
        }
        else
        {
            out += pattern[i];
        }
    }
    return out;
}
