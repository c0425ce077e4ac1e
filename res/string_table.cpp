#include "string_table.h"

#include <unordered_map>

namespace
{

const std::unordered_map<UINT, std::string>& Table()
{
    static const std::unordered_map<UINT, std::string> table = {
        {IDS_NOT_MIDI_FILE, "これはＭＩＤＩファイルではありません"},
        {IDS_LOAD_MIDI_FILE, "ＭＩＤＩファイルを読みこんでください"},
        {AFX_IDP_FAILED_TO_OPEN_DOC, "ファイル %1 を開けませんでした（%2）。"},
        {AFX_IDP_FAILED_TO_SAVE_DOC, "ファイル %1 を保存できませんでした（%2）。"},
        {AFX_IDP_FILE_ENDS_EARLY,
         "ファイル %1 は途中で終わっています。ヘッダーが知らせるトラックの終わりがそろう前に"
         "ファイルが尽きました。"},
        {AFX_IDP_SONG_TOO_LARGE,
         "ファイル %1 は曲が大きすぎて読みこめません。曲の最後のトラックの終わりが "
         "131072 バイトを超えています。"},
        {AFX_IDP_FAILED_TO_WRITE, "ファイル %1 に書きこめませんでした（%2）。"},
        {AFX_IDP_FAILED_TO_READ, "ファイル %1 を読みこめませんでした（%2）。"},
        {AFX_IDP_FILE_NOT_FOUND, "ファイル %1 が見つかりません（%2）。"},
        {AFX_IDS_APP_TITLE, "tarvel1"},
        {AFX_IDS_IDLEMESSAGE, "ﾚﾃﾞｨ"},
    };
    return table;
}

} // namespace

const std::string& LoadResString(UINT id)
{
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

std::string FormatResString(UINT id, std::string_view arg1, std::string_view arg2)
{
    const std::string& pattern = LoadResString(id);
    std::string out;
    out.reserve(pattern.size() + arg1.size() + arg2.size());
    for (std::size_t i = 0; i < pattern.size(); ++i)
    {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == '1' || pattern[i + 1] == '2'))
        {
            out += pattern[i + 1] == '1' ? arg1 : arg2;
            ++i;
        }
        else
        {
            out += pattern[i];
        }
    }
    return out;
}
