// Opening and saving a full data folder (3600 scenes, 3600 points, Japanese captions) against the
// floor of what libxml2 alone takes for the same file.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <array>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

#include "document/content_xml.h"
#include "document/editor.h"
#include "document/tables.h"
#include "platform/data_grid.h"
#include "platform/message_box.h"
#include "platform/record_set.h"
#include "platform/services.h"
#include "support/test_support.h"

using namespace kemo;

namespace {

QString Caption(int i) { return QStringLiteral("第%1章 講義スライド「データ構造とアルゴリズム」その%1").arg(i); }

// One generated data folder and program folder for every case.
struct Folder {
  Folder() {
    QStringList scenes, points;
    for (int i = 0; i < MaxRecords; ++i) {
      scenes << QStringLiteral("%1|%2|%3.jpg").arg(i * 1.5).arg(Caption(i)).arg(i, 3, 10, QLatin1Char('0'));
      points << QStringLiteral("%1|%2|%3").arg(i * 0.1).arg((i % 100) / 100.0).arg((i % 37) / 37.0);
    }
    test::WriteFile(content(), test::ContentXml(scenes, points));
  }
  QString content() const { return data.path() + QStringLiteral("/content.xml"); }
  QTemporaryDir data;
  test::ProgramFolder program;
};

Folder& TheFolder() {
  static Folder folder;
  return folder;
}

// An editor with its record sets bound to real grids and labels, on the generated folder.
struct BoundEditor : test::BoundTables {
  BoundEditor() { ed->DataFolder = TheFolder().data.path(); }
};

void BM_OpenContent(benchmark::State& state) {
  BoundEditor b;
  for (auto _ : state) {
    LoadContentXml(*b.ed);
    BuildRecords(*b.ed);
    BuildSlideTable(*b.ed);
    BuildPointTable(*b.ed);
  }
  if (b.ed->SldCnt != MaxRecords || b.ed->CurCnt != MaxRecords || !b.messages.shown.empty())
    state.SkipWithError("the folder did not load whole");
}
BENCHMARK(BM_OpenContent)->Unit(benchmark::kMillisecond);

void BM_LibxmlFloor(benchmark::State& state) {
  InitXmlLibrary();
  const QByteArray path = TheFolder().content().toLocal8Bit();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadFile(path.constData(), nullptr, 0);
    xmlXPathContextPtr xp = xmlXPathNewContext(doc);
    xmlXPathObjectPtr scenes = xmlXPathEvalExpression(BAD_CAST "//content/slide/scene", xp);
    xmlXPathObjectPtr points = xmlXPathEvalExpression(BAD_CAST "//content/cursor/p", xp);
    benchmark::DoNotOptimize(scenes->nodesetval->nodeNr + points->nodesetval->nodeNr);
    xmlXPathFreeObject(scenes);
    xmlXPathFreeObject(points);
    xmlXPathFreeContext(xp);
    xmlFreeDoc(doc);
  }
}
BENCHMARK(BM_LibxmlFloor)->Unit(benchmark::kMillisecond);

// A file with ten times the records the tables hold (36,000 scenes and 36,000 points, about 6 MB):
// it loads its first 3600 of each with the two messages.
struct LargeFolder {
  LargeFolder() {
    QStringList scenes, points;
    for (int i = 0; i < 10 * MaxRecords; ++i) {
      scenes << QStringLiteral("%1|%2|%3.jpg").arg(i * 1.5).arg(Caption(i)).arg(i, 3, 10, QLatin1Char('0'));
      points << QStringLiteral("%1|%2|%3").arg(i * 0.1).arg((i % 100) / 100.0).arg((i % 37) / 37.0);
    }
    test::WriteFile(content(), test::ContentXml(scenes, points));
  }
  QString content() const { return data.path() + QStringLiteral("/content.xml"); }
  QTemporaryDir data;
};

LargeFolder& TheLargeFolder() {
  static LargeFolder folder;
  return folder;
}

void BM_OpenLargeContent(benchmark::State& state) {
  test::BoundTables b;
  b.ed->DataFolder = TheLargeFolder().data.path();
  for (auto _ : state) {
    b.messages.Clear();
    LoadContentXml(*b.ed);
    BuildRecords(*b.ed);
    BuildSlideTable(*b.ed);
    BuildPointTable(*b.ed);
  }
  if (b.ed->SldCnt != MaxRecords || b.ed->CurCnt != MaxRecords || b.messages.shown.size() != 2)
    state.SkipWithError("the large file did not take the over-limit path");
}
BENCHMARK(BM_OpenLargeContent)->Unit(benchmark::kMillisecond);

void BM_LibxmlLargeParse(benchmark::State& state) {
  InitXmlLibrary();
  const QByteArray path = TheLargeFolder().content().toLocal8Bit();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadFile(path.constData(), nullptr, 0);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
}
BENCHMARK(BM_LibxmlLargeParse)->Unit(benchmark::kMillisecond);

void BM_SaveContent(benchmark::State& state) {
  BoundEditor b;
  LoadContentXml(*b.ed);
  BuildRecords(*b.ed);
  const QByteArray original = test::ReadFile(TheFolder().content());
  for (auto _ : state) {
    b.messages.Clear();
    SaveContentXml(*b.ed);
    // Every save keeps a backup of its own; one save in the folder is what is measured.
    state.PauseTiming();
    for (const QString& name : QDir(TheFolder().data.path()).entryList({QStringLiteral("content-backup-*")}, QDir::Files))
      QFile::remove(TheFolder().data.path() + QLatin1Char('/') + name);
    state.ResumeTiming();
  }
  if (b.messages.LastText().left(7) != QStringLiteral("保存しました。")) state.SkipWithError("the save failed");
  test::WriteFile(TheFolder().content(), original);
}
BENCHMARK(BM_SaveContent)->Unit(benchmark::kMillisecond);

void BM_LibxmlSaveFloor(benchmark::State& state) {
  InitXmlLibrary();
  BoundEditor b;
  LoadContentXml(*b.ed);
  BuildRecords(*b.ed);
  // The values as UTF-8 up front: the floor is libxml2's own work.
  std::vector<std::array<QByteArray, 3>> scenes, points;
  for (int i = 0; i < b.ed->SldCnt; ++i) {
    const SlideRecord& s = b.ed->Sld[i];
    scenes.push_back({FormatXmlNumber(s.pos).toUtf8(), s.caption.toUtf8(), s.image.toUtf8()});
  }
  for (int i = 0; i < b.ed->CurCnt; ++i) {
    const PointRecord& p = b.ed->Cur[i];
    points.push_back({FormatXmlNumber(p.t).toUtf8(), p.x.toUtf8(), p.y.toUtf8()});
  }
  const QByteArray out = (TheFolder().data.path() + QStringLiteral("/floor.xml")).toLocal8Bit();
  for (auto _ : state) {
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST "content", nullptr);
    xmlDocSetRootElement(doc, root);
    xmlNodePtr slide = xmlNewChild(root, nullptr, BAD_CAST "slide", nullptr);
    xmlNodePtr cursor = xmlNewChild(root, nullptr, BAD_CAST "cursor", nullptr);
    for (const auto& s : scenes) {
      xmlNodePtr n = xmlNewChild(slide, nullptr, BAD_CAST "scene", nullptr);
      xmlNewProp(n, BAD_CAST "pos", BAD_CAST s[0].constData());
      xmlNewProp(n, BAD_CAST "caption", BAD_CAST s[1].constData());
      xmlNewProp(n, BAD_CAST "image", BAD_CAST s[2].constData());
    }
    for (const auto& p : points) {
      xmlNodePtr n = xmlNewChild(cursor, nullptr, BAD_CAST "p", nullptr);
      xmlNewProp(n, BAD_CAST "t", BAD_CAST p[0].constData());
      xmlNewProp(n, BAD_CAST "x", BAD_CAST p[1].constData());
      xmlNewProp(n, BAD_CAST "y", BAD_CAST p[2].constData());
    }
    xmlSaveFileEnc(out.constData(), doc, "UTF-8");
    xmlFreeDoc(doc);
  }
}
BENCHMARK(BM_LibxmlSaveFloor)->Unit(benchmark::kMillisecond);

}  // namespace
