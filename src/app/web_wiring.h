#pragma once
namespace kemo {
struct Editor;
// ファイル → Web用に書き出し(&W)…, placed after 動画に書き出し, runs OnWebCommand.
void WireWeb(Editor& ed);
}  // namespace kemo
