#pragma once
// The pictures the encoder composes the video from, drawn once before it runs (never per video
// frame): for each slide, the whole frame as it stands while that slide is in force (the slide
// picture stretched as the stage stretches it, the markers the stage keeps shown, the slide's number
// and caption beside it); and the pointer marker as the stage draws it.
#include <QImage>
#include <QString>
#include <vector>

#include "export/export_plan.h"

namespace kemo {

// The picture the stage shows for a slide whose image is `image`, decoded at `size`: the file of
// that plain name in `folder`, or `defaultPicture` (with notFound set) when the name is empty or not
// a plain file name, or the file is missing or is not a picture.
QImage StageSlidePicture(const QString& folder, const QString& image, const QString& defaultPicture,
                         const QSize& size, bool* notFound);
// The same decoded into `picture`, whose memory is used again when it has the size already (many
// slides drawn in turn then take no fresh memory each, which is dear on a virtual machine); false
// where the stage shows the default picture as not found.
bool LoadStageSlidePicture(QImage* picture, const QString& folder, const QString& image,
                           const QString& defaultPicture, const QSize& size);

struct SlideFrameText {
  int number = 0;  // the slide's number (1-based)
  int count = 0;   // of how many
  QString caption;
};

// The frame while a slide is in force, 1280 x 720: `picture` (already at 960 x 720) on the left
// with "File Not Found" over it when notFound, the kept markers, the right-hand column with the
// slide's number and caption; the presenter's place is left black (the encoder lays the video there).
QImage RenderSlideFrame(const QImage& picture, bool notFound, const std::vector<PointerMark>& marks,
                        const SlideFrameText& text);
// The same drawn into `frame`, whose memory is used again when it has the size already.
void DrawSlideFrame(QImage* frame, const QImage& picture, bool notFound, const std::vector<PointerMark>& marks,
                    const SlideFrameText& text);

// The pointer marker: the stage's red square with its "●", at the frame's scale.
QImage RenderPointerGlyph();

}  // namespace kemo
