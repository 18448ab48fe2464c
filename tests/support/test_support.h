#pragma once
// Helpers shared by the tests: a program folder of its own for each test, data folders made on
// the spot, and the main window with scripted services.
#include <QDir>
#include <QLabel>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "app/frm_main.h"
#include "platform/data_grid.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "platform/scripted_player.h"
#include "platform/services.h"

namespace kemo::test {

// A fresh copy of the program's data (symbol.csv, temp/_content.xml, 000.jpg) in a temporary
// folder, and a work folder of its own beside it, as the editor's EditorWorkFolder gives.
class ProgramFolder {
 public:
  ProgramFolder();
  QString path() const { return dir_.path(); }
  QString work() const { return work_.path(); }

 private:
  QTemporaryDir dir_;
  QTemporaryDir work_;
};

// The first bytes of an FLV and of an AVI file: what the editor checks before it hands a video to
// the encoder or the player.
inline const QByteArray kFlvHead = QByteArray("FLV\x01\x05\0\0\0\x09", 9);
inline const QByteArray kAviHead = QByteArray("RIFF\x04\0\0\0AVI ", 12);

// Writes text to a file (UTF-8 unless bytes are given), creating its folder.
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// A content.xml text with the given scenes ("pos|caption|image") and points ("t|x|y").
QByteArray ContentXml(const QStringList& scenes, const QStringList& points);

// A JPEG picture of the given size and colour.
void WriteJpeg(const QString& path, int width = 320, int height = 240, const QColor& color = Qt::blue);

// A recording as the recorder writes it, made by the real ffmpeg: a test pattern (320 x 240, 15 frames
// a second) with a tone, `seconds` long. False when ffmpeg is missing or fails.
bool MakeRecordingFlv(const QString& path, int seconds);
// A slide picture: a light background of its own per number (never red) with the number in big
// black figures.
QImage NumberPicture(int number, int width = 1024, int height = 768);

// The main window on the offscreen platform with a scripted player, message boxes and dialogs.
struct Window {
  explicit Window(FrmMain::Build build = FrmMain::Build::Whole);
  ~Window();
  ProgramFolder program;
  ScriptedPlayer player;
  ScriptedMessageBoxes messages;
  ScriptedFileDialogs dialogs;
  FixedClock clock;
  RecordingBeeper beeper;
  ScriptedPointer pointer;
  std::unique_ptr<FrmMain> window;
  Editor& ed() { return window->ed(); }
  // Makes a complete data folder (content.xml with these scenes and points, Video.flv, Video.avi)
  // at `folder` and opens it through フォルダ指定; the messages shown so far are cleared.
  void OpenFolder(const QString& folder, const QStringList& scenes,
                  const QStringList& points = {QStringLiteral("0|0.5|0.5")});
};

// An editor without a window: its three document record sets bound to real grids and count
// labels, scripted messages, a fixed clock, a program folder and an empty data folder of its own.
struct BoundTables {
  BoundTables();
  ProgramFolder program;
  QTemporaryDir data;
  RecordSet sld, cur, sldEdt;
  DataGrid dgSlide, dgCursor, dgSlideEdit;
  QLabel count0, count1;
  ScriptedMessageBoxes messages;
  FixedClock clock;
  std::unique_ptr<Editor> ed;
};

// Processes events for ms milliseconds (lets the scripted player's answers arrive).
void Pump(int ms = 20);

}  // namespace kemo::test
