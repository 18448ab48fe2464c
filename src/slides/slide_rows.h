#pragma once
// Inserting and deleting single slides, in the registered slides or in the working copy.
#include <QString>
#include <cstdint>

#include "document/records.h"
#include "slides/slides_state.h"

class QLabel;

namespace kemo {

struct Editor;
class DataGrid;
class RecordSet;

// One of the two tables an insert or delete works on.
struct SlideTarget {
  SlideArray& slides;
  int16_t& count;
  RecordSet* rs;
  DataGrid* grid;
  QLabel* countLabel;
  bool registered;  // the registered slides (the content changes) rather than the working copy
};

SlideTarget RegisteredSlides(Editor& ed);
SlideTarget WorkingSlides(Editor& ed);

// The count label's text: the count followed by "枚のスライドがあります".
QString SlideCountText(int count);

// Deletes the slide of the target grid's current row after a confirmation.
void DeleteSlideRow(Editor& ed, SlideTarget target);
// Inserts a slide at the time shown in dispTime after a confirmation.
void InsertSlideRow(Editor& ed, SlideTarget target);

}  // namespace kemo
