#pragma once
#include <QImage>

namespace kemo::test {

// A lecture slide as a presentation program exports it, 1024 x 768: a light flat ground, a title band
// in the deck's colour, dark bullet text, and by turns a flow diagram, a bar chart or a photograph
// (sky, hills and foliage with a camera's grain) beside the text; every fourth slide text alone.
QImage LectureSlide(int number, int count);

}  // namespace kemo::test
