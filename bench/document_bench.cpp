// Opening and saving a data folder (Japanese captions) at a tenth of the table limit, at the limit and at
// ten times it, each against the floor of what libxml2 alone takes for the same file.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <array>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <map>
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

// One generated data folder per size (as many scenes as points) and one program folder.
struct Folder {
  explicit Folder(int records) {
    QStringList scenes, points;
    for (int i = 0; i < records; ++i) {
      scenes << QStringLiteral("%1|%2|%3.jpg").arg(i * 1.5).arg(Caption(i)).arg(i % 1000, 3, 10, QLatin1Char('0'));
      points << QStringLiteral("%1|%2|%3").arg(i * 0.1).arg((i % 100) / 100.0).arg((i % 37) / 37.0);
    }
    test::WriteFile(content(), test::ContentXml(scenes, points));
  }
  QString content() const { return data.path() + QStringLiteral("/content.xml"); }
  QTemporaryDir data;
  test::ProgramFolder program;
};

Folder& TheFolder(int records) {
  static std::map<int, std::unique_ptr<Folder>> folders;
  auto& f = folders[records];
  if (!f) f = std::make_unique<Folder>(records);
  return *f;
}

// The sizes every case is measured at: a tenth of the limit, the limit, and ten times it (of which
// the editor takes the first 3600 of each table, after telling so).
void Sizes(benchmark::internal::Benchmark* b) { b->Arg(360)->Arg(MaxRecords)->Arg(36000); }

// An editor with its record sets bound to real grids and labels, on a generated folder; the messages
// of the over-limit path are answered by the script.
struct BoundEditor : test::BoundTables {
  explicit BoundEditor(int records) { ed->DataFolder = TheFolder(records).data.path(); }
};

int Expected(int records) { return std::min(records, MaxRecords); }

void BM_OpenContent(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  BoundEditor b(n);
  for (auto _ : state) {
    b.messages.Clear();
    LoadContentXml(*b.ed);
    BuildRecords(*b.ed);
    BuildSlideTable(*b.ed);
    BuildPointTable(*b.ed);
  }
  if (b.ed->SldCnt != Expected(n) || b.ed->CurCnt != Expected(n))
    state.SkipWithError("the folder did not load whole");
  state.SetComplexityN(n);
}
BENCHMARK(BM_OpenContent)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// What libxml2 alone takes to parse the same file and select both tables' nodes.
void BM_LibxmlFloor(benchmark::State& state) {
  InitXmlLibrary();
  const QByteArray path = TheFolder(static_cast<int>(state.range(0))).content().toLocal8Bit();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadFile(path.constData(), nullptr, XML_PARSE_HUGE);
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
BENCHMARK(BM_LibxmlFloor)->Apply(Sizes)->Unit(benchmark::kMillisecond);

void RemoveBackups(const QString& folder) {
  for (const QString& name : QDir(folder).entryList({QStringLiteral("content-backup-*")}, QDir::Files))
    QFile::remove(folder + QLatin1Char('/') + name);
}

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
  const Folder& folder = TheFolder(static_cast<int>(state.range(0)));
  BoundEditor b(static_cast<int>(state.range(0)));
  LoadContentXml(*b.ed);
  BuildRecords(*b.ed);
  const QByteArray original = test::ReadFile(folder.content());
  for (auto _ : state) {
    b.messages.Clear();
    SaveContentXml(*b.ed);
    // Every save keeps a backup of its own; one save in the folder is what is measured.
    state.PauseTiming();
    RemoveBackups(folder.data.path());
    state.ResumeTiming();
  }
  if (b.messages.LastText().left(7) != QStringLiteral("保存しました。")) state.SkipWithError("the save failed");
  test::WriteFile(folder.content(), original);
}
BENCHMARK(BM_SaveContent)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// The floor of a save: the very bytes the save writes, built the cheapest way libxml2 allows (the
// values already UTF-8, the elements made in place, the document dumped to memory once) and written
// to a new file with one write and one fsync; no backup, no template, no rename.
void BM_LibxmlSaveFloor(benchmark::State& state) {
  InitXmlLibrary();
  const Folder& folder = TheFolder(static_cast<int>(state.range(0)));
  BoundEditor b(static_cast<int>(state.range(0)));
  LoadContentXml(*b.ed);
  BuildRecords(*b.ed);
  const QByteArray original = test::ReadFile(folder.content());
  SaveContentXml(*b.ed);
  const QByteArray saved = test::ReadFile(folder.content());
  test::WriteFile(folder.content(), original);
  RemoveBackups(folder.data.path());
  std::vector<std::array<QByteArray, 3>> scenes, points;
  for (int i = 0; i < b.ed->SldCnt; ++i) {
    const SlideRecord& s = b.ed->Sld[i];
    scenes.push_back({FormatXmlNumber(s.pos).toUtf8(), s.caption.toUtf8(), s.image.toUtf8()});
  }
  for (int i = 0; i < b.ed->CurCnt; ++i) {
    const PointRecord& p = b.ed->Cur[i];
    points.push_back({FormatXmlNumber(p.t).toUtf8(), p.x.toUtf8(), p.y.toUtf8()});
  }
  const QByteArray out = (folder.data.path() + QStringLiteral("/floor.xml")).toLocal8Bit();
  QByteArray last;
  for (auto _ : state) {
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    // Names interned once, as in a parsed document, instead of copied for every element.
    doc->dict = xmlDictCreate();
    doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
    xmlNodePtr root = xmlNewDocNode(doc, nullptr, BAD_CAST "content", nullptr);
    xmlDocSetRootElement(doc, root);
    // The template's line breaks between the tables.
    xmlAddChild(root, xmlNewDocText(doc, BAD_CAST "\n"));
    xmlNodePtr slide = xmlNewChild(root, nullptr, BAD_CAST "slide", nullptr);
    xmlAddChild(root, xmlNewDocText(doc, BAD_CAST "\n"));
    xmlNodePtr cursor = xmlNewChild(root, nullptr, BAD_CAST "cursor", nullptr);
    xmlAddChild(root, xmlNewDocText(doc, BAD_CAST "\n"));
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
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc, &text, &size, "UTF-8");
    const int fd = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, text, size) != size || ::fsync(fd) != 0) state.SkipWithError("cannot write");
    if (fd >= 0) ::close(fd);
    state.PauseTiming();
    last = QByteArray(reinterpret_cast<const char*>(text), size);
    state.ResumeTiming();
    xmlFree(text);
    xmlFreeDoc(doc);
  }
  // A floor of other bytes would bound nothing.
  if (last != saved) state.SkipWithError("the floor's bytes differ from the save's");
}
BENCHMARK(BM_LibxmlSaveFloor)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
