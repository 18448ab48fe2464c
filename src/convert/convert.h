#pragma once
// FLV to AVI conversion through the external ffmpeg.
#include <QString>

namespace kemo {

struct Editor;

void OnConvertCommand(Editor& ed);
// 0 success, 1 cancelled, -1 the encoder failed.
int ConvertFlvToAvi(Editor& ed, const QString& folder, const QString& sourceName, const QString& workFolder,
                    const QString& targetName);

void WireConvert(Editor& ed);

}  // namespace kemo
