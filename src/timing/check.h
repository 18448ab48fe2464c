#pragma once
// The check of a lecture's timing: a pure function of the registered tables, the state of the
// picture files the slides name and the video's length. The dialog's チェック tab, the command line
// (kemo-editor --check FOLDER [--json]) and the batch all call it.
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "document/records.h"

namespace kemo {

enum class TimingTable { Slides, Points };

enum class ProblemKind {
  OutOfOrder,      // earlier than the row before it
  SameTime,        // within 1 ms of the row before it
  SamePicture,     // the same picture as the slide before it
  ShortSlide,      // shown for less than CheckOptions::shortSlide seconds
  BeforeStart,     // a time below 0
  PastEnd,         // a time past the video's end
  OutsidePicture,  // x or y not a number or outside 0-1
  PointGap,        // no point for more than CheckOptions::pointGap seconds
  MissingPicture,  // the slide's picture is not in the folder
  BadPicture,      // the picture is there but cannot be read
  RowLimit,        // the table holds the most rows it can
};

struct Problem {
  ProblemKind kind = ProblemKind::OutOfOrder;
  TimingTable table = TimingTable::Slides;
  int row = 0;        // 1-based, the row's ID
  double time = 0.0;  // the row's time in seconds
  QString detail;     // Japanese, what is wrong
};

struct CheckOptions {
  double shortSlide = 2.0;  // seconds
  double pointGap = 10.0;   // seconds
};

// The state of one picture the slides name.
enum class PictureState { Present, Missing, Unreadable };
// By the plain name the slides give.
using PictureStates = QHash<QString, PictureState>;

// The registered tables as the check sees them (the first `count` records of each array).
struct CheckTables {
  const SlideArray* slides = nullptr;
  int slideCount = 0;
  const PointArray* points = nullptr;
  int pointCount = 0;
};

// Every problem of the tables, slides first then points, each table in row order (the row limit
// last of its table). videoLength <= 0: unknown, and nothing is checked against the end.
std::vector<Problem> CheckTiming(const CheckTables& tables, const PictureStates& pictures, double videoLength,
                                 const CheckOptions& options = {});

// The state of each picture the slides name in `folder`: missing; unreadable when it is not a
// regular file, is a link out of the folder, is not a plain file name, cannot be read by this user or
// is empty. Names that are empty are no picture and not listed.
PictureStates ReadPictureStates(const QString& folder, const SlideArray* slides, int slideCount);

// The length in seconds of the folder's video (Video.avi, else Video.flv), from its header; -1
// when there is none or its header does not say.
double ReadVideoLength(const QString& folder);

// The check of a data folder on disk: its content.xml read as opening the folder reads it.
struct FolderCheck {
  bool readable = false;  // false: reason says why the folder could not be checked
  QString reason;
  double videoLength = -1;
  std::vector<Problem> problems;
  QStringList notes;  // what the reading said of a folder it read all the same (rows past the limit left out)
};
FolderCheck CheckFolder(const QString& folder, const CheckOptions& options = {});

// "slides" / "points"; the kind's English key ("out_of_order", ...); the Japanese line of a problem:
// "スライド 3（00:04.000）：…".
QString TableKey(TimingTable table);
QString KindKey(ProblemKind kind);
QString ProblemLine(const Problem& p);

}  // namespace kemo
