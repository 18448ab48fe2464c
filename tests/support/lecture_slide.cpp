#include "support/lecture_slide.h"

#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>

namespace kemo::test {

QImage LectureSlide(int number, int count) {
  const int kind = number % 4;  // 0: text alone, 1: a diagram, 2: a chart, 3: a photograph
  QImage image(1024, 768, QImage::Format_RGB32);
  image.fill(QColor(0xfb, 0xfa, 0xf6));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor theme(0x1f, 0x4e, 0x79), accent(0xe0, 0x7b, 0x26), ink(0x26, 0x26, 0x26);
  p.fillRect(0, 0, 1024, 110, theme);
  p.fillRect(0, 110, 1024, 6, accent);
  QFont f(QStringLiteral("Noto Sans CJK JP"));
  f.setPixelSize(54);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  const QString topics[] = {QStringLiteral("情報の探し方と評価"), QStringLiteral("検索エンジンの仕組み"),
                            QStringLiteral("図書館データベース"), QStringLiteral("引用と参考文献の書き方"),
                            QStringLiteral("データの可視化"), QStringLiteral("演習とまとめ")};
  p.drawText(QRect(48, 0, 940, 110), Qt::AlignVCenter, QStringLiteral("%1（%2）").arg(topics[number % 6]).arg(number));
  f.setBold(false);
  f.setPixelSize(kind == 0 ? 36 : 30);
  p.setFont(f);
  p.setPen(ink);
  const QString lines[] = {QStringLiteral("検索語を組み合わせて絞り込む（AND・OR・NOT）"),
                           QStringLiteral("一次資料と二次資料を区別する"),
                           QStringLiteral("出典・著者・発行年を必ず確認する"),
                           QStringLiteral("複数の情報源で裏付けを取る"),
                           QStringLiteral("統計は調査方法と標本数を見る"),
                           QStringLiteral("引用は原文どおり、出典を明記する"),
                           QStringLiteral("Webページは更新日とURLを記録する"),
                           QStringLiteral("図表は単位と軸の範囲に注意する")};
  const int bullets = kind == 0 ? 6 : 4;
  const int textWidth = kind == 0 ? 900 : 440;
  for (int k = 0; k < bullets; ++k) {
    const int y = 160 + k * (kind == 0 ? 84 : 110);
    p.setBrush(accent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(66, y + (kind == 0 ? 24 : 20)), 7, 7);
    p.setPen(ink);
    p.drawText(QRect(86, y, textWidth, kind == 0 ? 80 : 106), Qt::TextWordWrap,
               lines[(number + k) % 8]);
  }
  const QRect side(560, 150, 420, 500);
  if (kind == 1) {  // boxes and arrows
    f.setPixelSize(22);
    p.setFont(f);
    const QString steps[] = {QStringLiteral("課題の設定"), QStringLiteral("資料の検索"), QStringLiteral("評価・選別"),
                             QStringLiteral("レポート作成")};
    for (int k = 0; k < 4; ++k) {
      const QRect box(side.left() + 60, side.top() + k * 125, 300, 80);
      p.setPen(QPen(theme, 2));
      p.setBrush(k == number % 4 ? QColor(0xfd, 0xe9, 0xd5) : QColor(0xde, 0xeb, 0xf7));
      p.drawRoundedRect(box, 10, 10);
      p.setPen(ink);
      p.drawText(box, Qt::AlignCenter, steps[k]);
      if (k < 3) {
        p.setPen(QPen(ink, 3));
        const int x = box.center().x(), y0 = box.bottom() + 4, y1 = box.bottom() + 42;
        p.drawLine(x, y0, x, y1);
        p.setBrush(ink);
        p.drawPolygon(QPolygon({QPoint(x - 9, y1 - 10), QPoint(x + 9, y1 - 10), QPoint(x, y1 + 2)}));
      }
    }
  } else if (kind == 2) {  // a bar chart with axes, grid and labels
    f.setPixelSize(18);
    p.setFont(f);
    const QRect plot(side.left() + 50, side.top() + 20, 350, 420);
    p.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 1));
    for (int g = 0; g <= 5; ++g) {
      const int y = plot.bottom() - g * plot.height() / 5;
      p.drawLine(plot.left(), y, plot.right(), y);
      p.setPen(ink);
      p.drawText(QRect(plot.left() - 48, y - 12, 40, 24), Qt::AlignRight | Qt::AlignVCenter, QString::number(g * 20));
      p.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 1));
    }
    const QColor bars[] = {theme, accent, QColor(0x70, 0xad, 0x47), QColor(0x5b, 0x9b, 0xd5)};
    for (int b = 0; b < 5; ++b) {
      const int h = (30 + (number * 17 + b * 29) % 65) * plot.height() / 100;
      p.fillRect(plot.left() + 18 + b * 66, plot.bottom() - h, 44, h, bars[b % 4]);
      p.setPen(ink);
      p.drawText(QRect(plot.left() + 8 + b * 66, plot.bottom() + 6, 64, 26), Qt::AlignHCenter,
                 QStringLiteral("%1年").arg(2019 + b));
    }
    p.setPen(QPen(ink, 2));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
  } else if (kind == 3) {  // a photograph: sky, hills, foliage, with the grain of a camera
    QImage photo(400, 300, QImage::Format_RGB32);
    QRandomGenerator rng(static_cast<quint32>(number));
    const double ridge = rng.bounded(60) + 120.0, phase = rng.bounded(100) / 10.0;
    for (int y = 0; y < 300; ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
      for (int x = 0; x < 400; ++x) {
        const double hill = ridge + 30 * std::sin(x / 47.0 + phase) + 12 * std::sin(x / 13.0 + 2 * phase);
        double r, g, b;
        if (y < hill) {
          const double t = y / hill;
          r = 110 + 90 * t; g = 160 + 60 * t; b = 235 - 10 * t;
          const double cloud = std::sin(x / 31.0 + phase) * std::sin(y / 17.0 + x / 90.0);
          if (cloud > 0.6) r = g = b = 235 + 40 * (cloud - 0.6);
        } else {
          const double t = (y - hill) / (300 - hill);
          const double leaf = std::sin(x / 5.0 + std::sin(y / 7.0) * 3) * std::sin(y / 4.0 + x / 11.0);
          r = 60 + 40 * t + 25 * leaf; g = 110 - 30 * t + 30 * leaf; b = 40 + 10 * t + 10 * leaf;
        }
        const int grain = static_cast<int>(rng.bounded(17)) - 8;
        row[x] = qRgb(std::clamp(int(r) + grain, 0, 255), std::clamp(int(g) + grain, 0, 255),
                      std::clamp(int(b) + grain, 0, 255));
      }
    }
    p.drawImage(side.left() + 10, side.top() + 60, photo);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(side.left() + 10, side.top() + 60, 400, 300);
    f.setPixelSize(18);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(QRect(side.left() + 10, side.top() + 370, 400, 30), Qt::AlignHCenter,
               QStringLiteral("図%1 調査地の様子").arg(number));
  }
  p.setPen(QPen(QColor(0xbf, 0xbf, 0xbf), 1));
  p.drawLine(40, 712, 984, 712);
  f.setPixelSize(16);
  p.setFont(f);
  p.setPen(QColor(0x7f, 0x7f, 0x7f));
  p.drawText(QRect(40, 718, 600, 40), Qt::AlignVCenter, QStringLiteral("情報リテラシー入門 第5回"));
  p.drawText(QRect(684, 718, 300, 40), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 / %2").arg(number).arg(count));
  return image;
}

}  // namespace kemo::test
