// The WIM reader on real files made here by wimlib-imagex (where it is installed), and on broken copies of a
// file made in memory.
#include "wim/wim_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "resources/text.h"
#include "wim/image_choice.h"
#include "wim/list_path.h"

namespace vantrel::wim {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint64_t Le(const Bytes& b, std::size_t at, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = (v << 8) | b[at + i];
  return v;
}
void PutLe(Bytes& b, std::size_t at, std::size_t n, std::uint64_t v) {
  for (std::size_t i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// UTF-16LE with its byte-order mark, from UTF-8 source text.
Bytes Utf16Le(const std::u16string& text, bool bom = true) {
  Bytes b;
  if (bom) b = {0xFF, 0xFE};
  for (char16_t c : text) {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return b;
}

// A copy of `wim` whose description is replaced by `xml` (appended at the end, the header pointed at it).
Bytes WithXml(Bytes wim, const Bytes& xml) {
  const std::uint64_t offset = wim.size();
  wim.insert(wim.end(), xml.begin(), xml.end());
  PutLe(wim, 0x48, 7, xml.size());
  PutLe(wim, 0x50, 8, offset);
  PutLe(wim, 0x58, 8, xml.size());
  return wim;
}

// A WIM file made here, in memory: a header of version 0x10D00 counting `images` images, some bytes standing for
// the resources, then the description `xml`.
Bytes MadeWim(const std::u16string& xml, std::uint32_t images) {
  Bytes wim(kHeaderSize + 1000, 0);
  const char magic[] = "MSWIM\0\0";
  std::memcpy(wim.data(), magic, 8);
  PutLe(wim, 0x08, 4, kHeaderSize);
  PutLe(wim, 0x0C, 4, kVersionWim);
  PutLe(wim, 0x14, 4, 32768);
  PutLe(wim, 0x28, 2, 1);
  PutLe(wim, 0x2A, 2, 1);
  PutLe(wim, 0x2C, 4, images);
  for (std::size_t i = kHeaderSize; i < wim.size(); ++i) wim[i] = static_cast<std::uint8_t>(i * 7);
  return WithXml(wim, Utf16Le(xml));
}

class WimFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef _WIN32
    // wimlib-imagex is a program of the host; the Windows build of these tests has no files to read.
    return;
#else
    if (std::system("command -v wimlib-imagex >/dev/null 2>&1") != 0) return;
    char pattern[] = "/tmp/vantrel-wim-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    fs::create_directories(dir_ / "a" / "sub");
    std::ofstream(dir_ / "a" / "hello.txt") << "hello";
    // Data that does not compress, so that the split set has more than one part.
    std::string noise(300000, '\0');
    std::uint32_t seed = 12345;
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    std::ofstream(dir_ / "a" / "sub" / "data.bin", std::ios::binary) << noise;
    const std::string d = dir_.string();
    const std::string q = " >>" + d + "/log 2>&1";
    // One image with Windows properties; three images with Chinese names; each compression; solid; a split set.
    ok_ = Run("wimlib-imagex capture " + d + "/a " + d + "/one.wim 'Windows 11 专业版' '专业版 & <家庭>'" + q) &&
          Run("wimlib-imagex info " + d +
              "/one.wim 1 --image-property WINDOWS/ARCH=9 "
              "--image-property WINDOWS/EDITIONID=Professional --image-property FLAGS=Professional "
              "--image-property DISPLAYNAME='Windows 11 专业版' --image-property WINDOWS/VERSION/MAJOR=10 "
              "--image-property WINDOWS/VERSION/MINOR=0 --image-property WINDOWS/VERSION/BUILD=22631 "
              "--image-property WINDOWS/LANGUAGES/DEFAULT=zh-CN" +
              q) &&
          Run("wimlib-imagex capture " + d + "/a " + d + "/three.wim '第一个映像' '描述一'" + q) &&
          Run("wimlib-imagex append " + d + "/a " + d + "/three.wim '第二个映像' '描述二'" + q) &&
          Run("wimlib-imagex append " + d + "/a " + d + "/three.wim '第三个映像' '描述三 𠀀'" + q);
    for (const char* c : {"none", "XPRESS", "LZX"})
      ok_ = ok_ && Run("wimlib-imagex capture " + d + "/a " + d + "/" + c + ".wim 'c " + c + "' --compress=" + c + q);
    ok_ = ok_ && Run("wimlib-imagex capture " + d + "/a " + d + "/solid.esd 'solid' --solid" + q) &&
          Run("wimlib-imagex split " + d + "/three.wim " + d + "/set.swm 0.1" + q) &&
          // Two more sets in a folder with a dot in its name: a Chinese first part, and one without an extension.
          Run("mkdir " + d + "/v1.0 && wimlib-imagex split " + d + "/one.wim " + d + "/v1.0/备份.swm 0.1" + q) &&
          Run("wimlib-imagex split " + d + "/one.wim " + d + "/v1.0/noext 0.1" + q);
#endif
  }
  static void TearDownTestSuite() {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  static bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
  }

  void SetUp() override {
    if (dir_.empty()) GTEST_SKIP() << "wimlib-imagex is not installed";
    ASSERT_TRUE(ok_) << "wimlib-imagex failed; see " << (dir_ / "log");
  }

  // The file read as the program reads it: the header, then only the description's range.
  static Description ReadInTwoSteps(const Bytes& file) {
    const HeaderResult h = ReadHeader(std::span(file).first(std::min(file.size(), kHeaderSize)), file.size());
    if (!h.ok()) return Description{h.header, {}, h.failure};
    return ReadDescription(h.header, std::span(file).subspan(h.xmlOffset(), h.xmlSize()));
  }

  static inline fs::path dir_;
  static inline bool ok_ = false;
};

void ExpectProblem(const Description& d, Problem p, const std::string& what) {
  EXPECT_EQ(d.failure.problem, p) << what;
  EXPECT_TRUE(d.images.empty()) << what;
}

TEST_F(WimFiles, RealFilesListTheirImages) {
  const Bytes one = ReadFile(dir_ / "one.wim");
  const Description d = ReadInTwoSteps(one);
  ASSERT_TRUE(d.ok()) << static_cast<int>(d.failure.problem);
  EXPECT_EQ(d.header.version, kVersionWim);
  EXPECT_EQ(d.header.partNumber, 1);
  EXPECT_EQ(d.header.totalParts, 1);
  ASSERT_EQ(d.images.size(), 1u);
  const Image& i = d.images[0];
  EXPECT_EQ(i.index, 1u);
  EXPECT_EQ(i.name, u"Windows 11 专业版");
  EXPECT_EQ(i.description, u"专业版 & <家庭>");  // written by wimlib with &amp; &lt; &gt;
  EXPECT_EQ(i.displayName, u"Windows 11 专业版");
  EXPECT_EQ(i.flags, u"Professional");
  EXPECT_EQ(i.editionId, u"Professional");
  EXPECT_EQ(i.language, u"zh-CN");
  EXPECT_EQ(i.arch, kArchX64);
  ASSERT_TRUE(i.version);
  EXPECT_EQ(i.version->major, 10u);
  EXPECT_EQ(i.version->minor, 0u);
  EXPECT_EQ(i.version->build, 22631u);
  ASSERT_TRUE(i.totalBytes);
  EXPECT_EQ(*i.totalBytes, 300005u);
  // Made within the last day: FILETIME of now, give or take.
  ASSERT_TRUE(i.creationTime);
  const std::uint64_t now = (static_cast<std::uint64_t>(std::time(nullptr)) + 11644473600ull) * 10000000ull;
  EXPECT_LT(now > *i.creationTime ? now - *i.creationTime : *i.creationTime - now, 864000000000ull);
  // The whole-file form agrees with the two steps.
  EXPECT_EQ(ReadWim(one).images.size(), 1u);

  const Description three = ReadInTwoSteps(ReadFile(dir_ / "three.wim"));
  ASSERT_TRUE(three.ok());
  ASSERT_EQ(three.images.size(), 3u);
  const char16_t* names[] = {u"第一个映像", u"第二个映像", u"第三个映像"};
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(three.images[k].index, k + 1);
    EXPECT_EQ(three.images[k].name, names[k]);
    EXPECT_FALSE(three.images[k].arch);  // not a Windows tree: no WINDOWS element
  }
  EXPECT_EQ(three.images[2].description, u"描述三 𠀀");  // a character beyond the BMP, as a surrogate pair

  for (const char* c : {"none", "XPRESS", "LZX"}) {
    const Description x = ReadInTwoSteps(ReadFile(dir_ / (std::string(c) + ".wim")));
    ASSERT_TRUE(x.ok()) << c;
    ASSERT_EQ(x.images.size(), 1u) << c;
    EXPECT_EQ(x.images[0].name, u"c " + std::u16string(c, c + std::strlen(c))) << c;
  }
  const Description solid = ReadInTwoSteps(ReadFile(dir_ / "solid.esd"));
  ASSERT_TRUE(solid.ok());
  EXPECT_EQ(solid.header.version, kVersionSolid);
  EXPECT_EQ(solid.images.at(0).name, u"solid");

  // A split set: part 1 lists every image; a later part says which it is.
  const Description first = ReadInTwoSteps(ReadFile(dir_ / "set.swm"));
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.images.size(), 3u);
  EXPECT_GE(first.header.totalParts, 2);
  const Description second = ReadInTwoSteps(ReadFile(dir_ / "set2.swm"));
  ExpectProblem(second, Problem::LaterPart, "part 2");
  EXPECT_EQ(second.failure.value, 2u);
  EXPECT_EQ(second.failure.limit, first.header.totalParts);
}

// A real split set and a real solid file as the panels tell them; the other parts of each set made here are where
// SplitPartName says wimlib put them, and nowhere else.
TEST_F(WimFiles, SplitSetsAndSolidFilesAreToldAndTheirPartsFound) {
  const TextLookup text = [](std::uint16_t id) { return resources::Decimal(id % 100).insert(0, u"#") + u"(%1,%2)"; };
  auto listed = [](const fs::path& path) {
    const Bytes b = ReadFile(path);
    Listing l;
    l.state = Listing::State::Read;
    l.description = ReadInTwoSteps(b);
    l.stamp = {b.size(), 0};
    return l;
  };
  const Listing set = listed(dir_ / "set.swm"), solid = listed(dir_ / "solid.esd"), whole = listed(dir_ / "three.wim");
  ASSERT_TRUE(set.HasList() && solid.HasList() && whole.HasList());
  EXPECT_FALSE(IsSolid(whole.description.header) || IsSplitSet(whole.description.header));

  // A set's line says so first, whatever it says of the index; nothing can be appended to either file.
  const std::u16string parts = resources::Decimal(set.description.header.totalParts);
  const std::u16string second = ImageLine(set.description.images.at(1), text);
  EXPECT_NE(second.find(u"第二个映像"), std::u16string::npos);
  EXPECT_EQ(IndexLine(set, u"2", text), u"#6(" + parts + u"," + second + u")");
  EXPECT_EQ(IndexLine(set, u"7", text), u"#6(" + parts + u",#2(7,3))");
  EXPECT_EQ(IndexLine(whole, u"2", text), ImageLine(whole.description.images.at(1), text));
  EXPECT_EQ(AppendLine(set, true, text), u"#7(" + parts + u",%2)");
  EXPECT_EQ(AppendLine(solid, true, text), u"#8(%1,%2)");
  EXPECT_EQ(AppendLine(whole, true, text), u"#4(3,4)");

  const std::optional<FileFacts> setFacts = FactsOf(set), solidFacts = FactsOf(solid);
  ASSERT_TRUE(setFacts && solidFacts);
  EXPECT_EQ(setFacts->parts, set.description.header.totalParts);
  EXPECT_FALSE(setFacts->solid);
  EXPECT_EQ(setFacts->names, (std::vector<std::u16string>{u"第一个映像", u"第二个映像", u"第三个映像"}));
  EXPECT_EQ(setFacts->size, fs::file_size(dir_ / "set.swm"));
  EXPECT_EQ(solidFacts->parts, 1);
  EXPECT_TRUE(solidFacts->solid);
  EXPECT_FALSE(FactsOf(listed(dir_ / "set2.swm"))) << "a later part holds no list";

  std::ptrdiff_t inFolder = 0;
  for (const fs::path& first : {fs::path(u8"set.swm"), fs::path(u8"v1.0/备份.swm"), fs::path(u8"v1.0/noext")}) {
    const fs::path path = dir_ / first;
    const std::uint16_t total = ReadInTwoSteps(ReadFile(path)).header.totalParts;
    ASSERT_GE(total, 2) << path;
    for (unsigned k = 2; k <= total; ++k) EXPECT_TRUE(fs::exists(fs::path(SplitPartName(path.u16string(), k)))) << k;
    EXPECT_FALSE(fs::exists(fs::path(SplitPartName(path.u16string(), total + 1u)))) << path;
    if (first.has_parent_path()) inFolder += total;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "v1.0"), fs::directory_iterator()), inFolder);
}

// Broken copies of a file made in memory: they need no real file, and run wherever the tests run.
TEST(WimFile, BrokenCopiesAreToldApart) {
  const Bytes good = MadeWim(u"<WIM><IMAGE INDEX=\"1\"><NAME>一</NAME></IMAGE><IMAGE INDEX=\"2\"><NAME>二</NAME>"
                             u"</IMAGE><IMAGE INDEX=\"3\"><NAME>三</NAME></IMAGE></WIM>",
                             3);
  const Description made = ReadWim(good);
  ASSERT_TRUE(made.ok()) << static_cast<int>(made.failure.problem);
  ASSERT_EQ(made.images.size(), 3u);
  EXPECT_EQ(made.images[2].name, u"三");
  const std::size_t xmlAt = Le(good, 0x50, 8), xmlSize = Le(good, 0x48, 7);
  ASSERT_GT(xmlSize, 100u);

  // Cut at each structure's boundary: in the signature, after it, inside and at the end of the header, at
  // the start, middle and last byte of the description.
  for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{8}, std::size_t{0x48}, kHeaderSize - 1,
                          kHeaderSize, xmlAt, xmlAt + xmlSize / 2, xmlAt + xmlSize - 1}) {
    const Bytes cutCopy(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    const Description d = ReadWim(cutCopy);
    ExpectProblem(d,
                  cut == 0            ? Problem::NotWim
                  : cut < kHeaderSize ? Problem::CutShort
                                      : Problem::XmlOutsideFile,
                  "cut at " + std::to_string(cut));
    // The description read in full earlier and cut now (the file shrank between the two reads).
    if (cut >= xmlAt) {
      const HeaderResult h = ReadHeader(std::span(good).first(kHeaderSize), good.size());
      ExpectProblem(ReadDescription(h.header, std::span(cutCopy).subspan(xmlAt)), Problem::CutShort,
                    "shrank to " + std::to_string(cut));
    }
  }

  auto patched = [&](std::size_t at, std::size_t n, std::uint64_t v) {
    Bytes b = good;
    PutLe(b, at, n, v);
    return b;
  };
  ExpectProblem(ReadWim(patched(0, 1, 'N')), Problem::NotWim, "wrong magic");
  ExpectProblem(ReadWim(Bytes(300, 0)), Problem::NotWim, "zeros");
  ExpectProblem(ReadWim(patched(0x08, 4, 200)), Problem::NotWim, "header size");
  ExpectProblem(ReadWim(patched(0x50, 8, good.size() + 1)), Problem::XmlOutsideFile, "offset past the end");
  ExpectProblem(ReadWim(patched(0x50, 8, ~0ull)), Problem::XmlOutsideFile, "offset 2^64-1");
  ExpectProblem(ReadWim(patched(0x48, 7, 1ull << 55)), Problem::XmlTooLarge, "2^55 size");
  ExpectProblem(ReadWim(patched(0x48, 7, xmlSize + 2)), Problem::XmlOutsideFile, "size past the end");
  ExpectProblem(ReadWim(patched(0x4F, 1, 0x06)), Problem::CompressedXml, "compressed");
  ExpectProblem(ReadWim(patched(0x2C, 4, 4)), Problem::CountMismatch, "count 4 of 3");
  ExpectProblem(ReadWim(patched(0x2C, 4, 0)), Problem::CountMismatch, "count 0 of 3");
  ExpectProblem(ReadWim(patched(0x48, 7, 0)), Problem::BrokenXml, "no description");
  const Description odd = ReadWim(patched(0x48, 7, xmlSize - 1));
  ExpectProblem(odd, Problem::BrokenXml, "odd size");
  EXPECT_EQ(odd.failure.xml, XmlProblem::OddSize);

  // Descriptions of our own, put into the real file.
  auto withText = [&](const std::u16string& xml, bool bom = true) { return ReadWim(WithXml(good, Utf16Le(xml, bom))); };
  const std::u16string three = u"<IMAGE INDEX=\"1\"/><IMAGE INDEX=\"2\"/><IMAGE INDEX=\"3\"/>";
  const Description noBom = withText(u"<WIM>" + three + u"</WIM>", false);
  ExpectProblem(noBom, Problem::BrokenXml, "no byte-order mark");
  EXPECT_EQ(noBom.failure.xml, XmlProblem::NoByteOrderMark);

  std::u16string deep = u"<WIM>" + three;
  for (int k = 0; k < 100000; ++k) deep += u"<A>";
  const Description tooDeep = withText(deep);
  ExpectProblem(tooDeep, Problem::BrokenXml, "deep nesting");
  EXPECT_EQ(tooDeep.failure.fault, xml::Fault::TooDeep);

  const Description encrypted =
      withText(u"<WIM>" + three + u"<ESD><ENCRYPTED>1</ENCRYPTED><KEY>AAAA</KEY></ESD></WIM>");
  ExpectProblem(encrypted, Problem::EncryptedEsd, "encrypted");

  ExpectProblem(withText(u"<WIM><IMAGE INDEX=\"1\"/><IMAGE INDEX=\"1\"/><IMAGE INDEX=\"3\"/></WIM>"),
                Problem::BrokenXml, "index twice");
  ExpectProblem(withText(u"<WIM><IMAGE INDEX=\"1\"/><IMAGE/><IMAGE INDEX=\"3\"/></WIM>"), Problem::BrokenXml,
                "no index");
  ExpectProblem(withText(u"<WIM><IMAGE INDEX=\"1\"/><IMAGE INDEX=\"2\"/><IMAGE INDEX=\"4\"/></WIM>"),
                Problem::BrokenXml, "index beyond the count");
  ExpectProblem(withText(u"<WIN>" + three + u"</WIN>"), Problem::BrokenXml, "another root");
  ExpectProblem(withText(u"<WIM>" + three), Problem::BrokenXml, "unclosed");

  // Images given out of order, with every kind of reference the format may carry.
  const Description shuffled = withText(
      u"<?xml version=\"1.0\"?><!-- made by hand --><WIM>\r\n <IMAGE INDEX='3'><NAME>&#x4E09;&#19977;</NAME></IMAGE>"
      u"<IMAGE INDEX=\" 1 \"><NAME>a&amp;b&lt;&gt;&quot;&apos;&#x1F600;</NAME><TOTALBYTES> 42 </TOTALBYTES>"
      u"<CREATIONTIME><HIGHPART>0x00000001</HIGHPART><LOWPART>0xFFFFFFFF</LOWPART></CREATIONTIME></IMAGE>"
      u"<IMAGE INDEX=\"2\"><NAME><![CDATA[<raw & text>]]></NAME><WINDOWS><ARCH>12</ARCH></WINDOWS></IMAGE></WIM>");
  ASSERT_TRUE(shuffled.ok()) << static_cast<int>(shuffled.failure.fault);
  EXPECT_EQ(shuffled.images[0].name, u"a&b<>\"'\U0001F600");
  EXPECT_EQ(shuffled.images[0].totalBytes, 42u);
  EXPECT_EQ(shuffled.images[0].creationTime, 0x1FFFFFFFFull);
  EXPECT_EQ(shuffled.images[1].name, u"<raw & text>");
  EXPECT_EQ(shuffled.images[1].arch, kArchArm64);
  EXPECT_EQ(shuffled.images[2].name, u"三三");
}

// The XML reader's refusals, each at the place it was found.
TEST(BoundedXml, RefusesWhatItCannotRead) {
  struct Case {
    std::u16string text;
    xml::Fault fault;
  };
  const Case cases[] = {
      {u"", xml::Fault::Empty},
      {u"  <!-- only a comment -->", xml::Fault::Empty},
      {u"<A><B></A></B>", xml::Fault::MismatchedEnd},
      {u"<A></A><B/>", xml::Fault::TextOutsideRoot},
      {u"text<A/>", xml::Fault::TextOutsideRoot},
      {u"<A>&nbsp;</A>", xml::Fault::BadReference},
      {u"<A>&#0;</A>", xml::Fault::BadReference},
      {u"<A>&#xD800;</A>", xml::Fault::BadReference},
      {u"<A>&#x110000;</A>", xml::Fault::BadReference},
      {u"<A>&#99999999999999999999;</A>", xml::Fault::BadReference},
      {u"<A>" + std::u16string(100000, u'&') + u"</A>", xml::Fault::BadReference},
      {u"<A>&amp</A>", xml::Fault::BadReference},
      {std::u16string(u"<A>\xD800</A>"), xml::Fault::BadCharacter},
      {std::u16string(u"<A>\xDC00</A>"), xml::Fault::BadCharacter},
      {std::u16string(u"<A>x\0</A>", 9), xml::Fault::BadCharacter},
      {u"<A B=\"<\"/>", xml::Fault::BadCharacter},
      {u"<A B=\"1\" B=\"2\"/>", xml::Fault::BadAttribute},
      {u"<A B/>", xml::Fault::BadAttribute},
      {u"<A B=1/>", xml::Fault::BadAttribute},
      {u"<A B=\"1\"C=\"2\"/>", xml::Fault::BadName},
      {u"<1A/>", xml::Fault::BadName},
      {u"<A>" + std::u16string(300, u'N') + u"</A>", xml::Fault::None},
      {u"<" + std::u16string(300, u'N') + u"/>", xml::Fault::BadName},
      {u"<!DOCTYPE A [<!ENTITY x \"y\">]><A/>", xml::Fault::DocumentType},
      {u"<A><!-- open", xml::Fault::UnclosedTag},
      {u"<A B=\"1", xml::Fault::UnclosedTag},
      {u"<A><![CDATA[x", xml::Fault::UnclosedTag},
      {u"<A><B>", xml::Fault::UnclosedElement},
      {u"<A/>\r\n ", xml::Fault::None},
      // XML's Char: C0 controls other than tab, LF and CR, U+FFFE and U+FFFF are refused in text, attribute
      // values, CDATA, comments and declarations, and character references cannot make them.
      {u"<A>\t\r\n \uFFFD\U0010FFFF</A>", xml::Fault::None},
      {u"<A>a\x01</A>", xml::Fault::BadCharacter},
      {u"<A>\x1F</A>", xml::Fault::BadCharacter},
      {u"<A>\uFFFE</A>", xml::Fault::BadCharacter},
      {u"<A>\uFFFF</A>", xml::Fault::BadCharacter},
      {u"<A B=\"\x0B\"/>", xml::Fault::BadCharacter},
      {u"<A><![CDATA[\x08]]></A>", xml::Fault::BadCharacter},
      {u"<A><!-- \x07 --></A>", xml::Fault::BadCharacter},
      {u"<?x \x1B?><A/>", xml::Fault::BadCharacter},
      {u"<A>&#1;</A>", xml::Fault::BadReference},
      {u"<A>&#x1F;</A>", xml::Fault::BadReference},
      {u"<A>&#xFFFE;</A>", xml::Fault::BadReference},
      {u"<A B=\"&#xFFFF;\"/>", xml::Fault::BadReference},
      {u"<A>&#x9;&#10;&#xD;&#x10FFFF;</A>", xml::Fault::None},
      // Names by NameStartChar and NameChar, a character beyond the BMP as one, an unpaired surrogate never.
      {u"<\U00010000/>", xml::Fault::None},
      {u"<A\U000E0000\u00B7\u0300/>", xml::Fault::None},
      {u"<\U000F0000/>", xml::Fault::BadName},
      {std::u16string(u"<\xD800" u"A/>"), xml::Fault::BadName},
      {std::u16string(u"<A\xD800/>"), xml::Fault::BadName},
      {std::u16string(u"<A B\xDBFF=\"1\"/>"), xml::Fault::BadAttribute},
      {u"<\u0300/>", xml::Fault::BadName},
      {u"<A\u00D7/>", xml::Fault::BadName},
      {u"<\u2070\u3001\uFDF0/>", xml::Fault::None},
      // Comments run from "<!--" to the first "--", which must be followed by '>'.
      {u"<!--><A/>", xml::Fault::UnclosedTag},
      {u"<!---><A/>", xml::Fault::UnclosedTag},
      {u"<!--> --><A/>", xml::Fault::None},
      {u"<A><!----></A>", xml::Fault::None},
      {u"<A><!-- a -- b --></A>", xml::Fault::BadCharacter},
      {u"<A><!-- a ---></A>", xml::Fault::BadCharacter},
  };
  for (const Case& c : cases) {
    const xml::Document d = xml::Parse(c.text);
    EXPECT_EQ(d.fault, c.fault) << std::string(c.text.begin(),
                                               c.text.begin() + std::min<std::size_t>(40, c.text.size()));
    // A refused text keeps no elements; a read one has its root.
    EXPECT_EQ(d.elements.empty(), c.fault != xml::Fault::None);
  }
  // Where: at the character, the reference, the comment's "--".
  EXPECT_EQ(xml::Parse(u"<A>ab\x01</A>").faultAt, 5u);
  EXPECT_EQ(xml::Parse(u"<A>a&#1;</A>").faultAt, 4u);
  EXPECT_EQ(xml::Parse(u"<A><!-- a -- b --></A>").faultAt, 10u);
  EXPECT_EQ(xml::Parse(u"<!-->").faultAt, 5u);
  // A name beyond the BMP is kept whole, with both its code units.
  const xml::Document wide = xml::Parse(u"<\U00020000\U00020001 \U00020002=\"&#x20003;\">\U00020004</\U00020000\U00020001>");
  ASSERT_TRUE(wide.ok()) << static_cast<int>(wide.fault) << " at " << wide.faultAt;
  EXPECT_EQ(wide.root().name, u"\U00020000\U00020001");
  ASSERT_EQ(wide.root().attributes.size(), 1u);
  EXPECT_EQ(wide.root().attributes[0].name, u"\U00020002");
  EXPECT_EQ(wide.root().attributes[0].value, u"\U00020003");
  EXPECT_EQ(wide.root().text, u"\U00020004");
  // The name bound counts code units: 128 characters beyond the BMP are 256 units, one more is too long.
  std::u16string wideName;
  for (int k = 0; k < 128; ++k) wideName += u"\U00010000";
  EXPECT_TRUE(xml::Parse(u"<" + wideName + u"/>").ok());
  EXPECT_EQ(xml::Parse(u"<" + wideName + u"\U00010000/>").fault, xml::Fault::BadName);
  // Many attributes, many elements: bounded.
  std::u16string attributes = u"<A";
  for (int k = 0; k < 17; ++k) attributes += u" a" + std::u16string(1, static_cast<char16_t>(u'a' + k)) + u"=\"\"";
  EXPECT_EQ(xml::Parse(attributes + u"/>").fault, xml::Fault::TooMany);
  std::u16string many = u"<A>";
  for (std::size_t k = 0; k < xml::kMaxNodes; ++k) many += u"<B/>";
  EXPECT_EQ(xml::Parse(many + u"</A>").fault, xml::Fault::TooMany);
  // Exactly at the depth bound is fine, one more is not.
  std::u16string nest, close;
  for (std::size_t k = 0; k < xml::kMaxDepth; ++k) nest += u"<A>", close += u"</A>";
  EXPECT_TRUE(xml::Parse(nest + close).ok());
  EXPECT_EQ(xml::Parse(u"<R>" + nest + close + u"</R>").fault, xml::Fault::TooDeep);
}

// What the panels show of a list: a line per image, the line for the typed index, the reasons, the menu.
TEST(ImageChoice, LinesFollowTheIndexAndReasonsAreShort) {
  // Each string-table entry as its id and its fields, so that what goes where is visible.
  const TextLookup text = [](std::uint16_t id) {
    return u"#" + std::u16string(1, u'0' + id % 100 / 10) + std::u16string(1, u'0' + id % 10) + u"(%1,%2)";
  };
  Listing listing;
  EXPECT_EQ(IndexLine(listing, u"1", text), u"");  // nothing read: nothing shown
  EXPECT_FALSE(listing.ImageCount());
  listing.state = Listing::State::NoFile;
  EXPECT_EQ(IndexLine(listing, u"1", text), u"");
  EXPECT_TRUE(PickList(listing, text).empty());

  listing.state = Listing::State::Read;
  Image pro;
  pro.index = 1;
  pro.name = u"Windows 11 Pro";
  pro.displayName = u"Windows 11 专业版";
  pro.flags = u"Professional";
  pro.arch = kArchX64;
  pro.totalBytes = 16320875827ull;  // 15.2 GiB
  Image home;
  home.index = 2;
  home.flags = u"core";  // already in the name (case aside): not repeated
  home.name = u"Windows Core";
  home.arch = 77;  // unknown: left out
  Image bare;
  bare.index = 3;
  listing.description.images = {pro, home, bare};
  listing.description.header.imageCount = 3;
  EXPECT_EQ(listing.ImageCount(), 3u);
  EXPECT_EQ(IndexLine(listing, u"1", text), u"Windows 11 专业版 · x64 · 15.2 GB");
  EXPECT_EQ(IndexLine(listing, u" 2 ", text), u"Windows Core");
  listing.description.images[1].flags = u"Enterprise";  // no display name, not in the name: added
  EXPECT_EQ(IndexLine(listing, u"2", text), u"Windows Core · Enterprise");
  listing.description.images[1].flags = u"core";
  EXPECT_EQ(IndexLine(listing, u"3", text), u"#01(3,%2)");
  EXPECT_EQ(IndexLine(listing, u"4", text), u"#02(4,3)");
  EXPECT_EQ(IndexLine(listing, u"0", text), u"#02(0,3)");
  EXPECT_EQ(IndexLine(listing, u"", text), u"#03(3,%2)");
  EXPECT_EQ(IndexLine(listing, u"x1", text), u"#03(3,%2)");
  EXPECT_EQ(AppendLine(listing, true, text), u"#04(3,4)");
  EXPECT_EQ(AppendLine(listing, false, text), u"");

  // A tab or line break that XML lets into a name is a blank in the line: in a menu item a tab would start
  // the accelerator column.
  listing.description.images[1].name = u"Windows\tCore\r\nN";
  EXPECT_EQ(IndexLine(listing, u"2", text), u"Windows Core  N");
  listing.description.images[1].name = u"R&D";
  const std::vector<PickEntry> menu = PickList(listing, text);
  ASSERT_EQ(menu.size(), 3u);
  EXPECT_EQ(menu[0].index, 1u);
  EXPECT_EQ(menu[1].text, u"&2  R&&D · core");
  EXPECT_EQ(menu[2].text, u"&3  #01(3,%2)");
  listing.description.images.resize(12);
  listing.description.images[11].index = 12;
  EXPECT_EQ(PickList(listing, text)[11].text.substr(0, 4), u"12  ");  // no mnemonic beyond 9

  // The menu shows at most kMaxPickEntries images; beyond that a last entry, never picked, counts the rest.
  const std::vector<Image> kept = listing.description.images;
  auto withImages = [&](std::size_t n) {
    listing.description.images.assign(n, Image{});
    for (std::size_t k = 0; k < n; ++k) listing.description.images[k].index = static_cast<std::uint32_t>(k + 1);
    return PickList(listing, text);
  };
  EXPECT_EQ(kMaxPickEntries, 256u);
  std::vector<PickEntry> capped = withImages(256);
  ASSERT_EQ(capped.size(), 256u);
  EXPECT_EQ(capped.back().index, 256u) << "all of them fit: no note";
  capped = withImages(257);
  ASSERT_EQ(capped.size(), 257u);
  EXPECT_EQ(capped[255].index, 256u);
  EXPECT_EQ(capped.back().index, 0u);
  EXPECT_EQ(capped.back().text, u"#05(1,%2)");
  capped = withImages(200000);  // a crafted file: the menu stays small, and the count says what is left out
  ASSERT_EQ(capped.size(), 257u);
  EXPECT_EQ(capped.back().index, 0u);
  EXPECT_EQ(capped.back().text, u"#05(199744,%2)");
  for (std::size_t k = 0; k < 256; ++k) ASSERT_EQ(capped[k].index, k + 1);
  listing.description.images = kept;

  // Sizes in units of 1024, one decimal below 100.
  EXPECT_EQ(SizeText(0), u"0 B");
  EXPECT_EQ(SizeText(1023), u"1023 B");
  EXPECT_EQ(SizeText(1024), u"1.0 KB");
  EXPECT_EQ(SizeText(1048575), u"1.0 MB");
  EXPECT_EQ(SizeText(150ull << 20), u"150 MB");
  EXPECT_EQ(SizeText(~0ull), u"16.0 EB");
  // Rounded once: to tenths below 100 of a unit, to whole units above, and 1024 of a unit is the next unit.
  EXPECT_EQ(SizeText(102348), u"99.9 KB");            // 99.949 KB
  EXPECT_EQ(SizeText(102349), u"100 KB");             // 99.950 KB
  EXPECT_EQ(SizeText(1047551), u"1023 KB");           // 1022.999 KB
  EXPECT_EQ(SizeText(1047552), u"1023 KB");           // 1023.0 KB
  EXPECT_EQ(SizeText(1048063), u"1023 KB");           // 1023.499 KB
  EXPECT_EQ(SizeText(1048064), u"1.0 MB");            // 1023.5 KB, not "1024 KB"
  EXPECT_EQ(SizeText(1048576), u"1.0 MB");
  EXPECT_EQ(SizeText((1ull << 30) - (1ull << 19)), u"1.0 GB");  // 1023.5 MB
  EXPECT_EQ(SizeText((1ull << 30) - (1ull << 19) - 1), u"1023 MB");
  EXPECT_EQ(SizeText(1076), u"1.1 KB");               // 1.0508 KB
  EXPECT_EQ(SizeText(1075), u"1.0 KB");               // 1.0498 KB

  // A file that cannot be listed: its reason, also on the capture panel, and no list to pick from.
  listing.description.failure.problem = Problem::LaterPart;
  listing.description.failure.value = 2;
  listing.description.failure.limit = 5;
  EXPECT_EQ(IndexLine(listing, u"1", text), u"#13(2,5)");
  EXPECT_EQ(AppendLine(listing, true, text), u"#13(2,5)");
  EXPECT_TRUE(PickList(listing, text).empty());
  EXPECT_FALSE(listing.ImageCount());
  listing.description.failure.problem = Problem::XmlTooLarge;
  EXPECT_EQ(IndexLine(listing, u"1", text), u"#15(%1,%2)");
  // Each problem its own reason, with its figures where it has them.
  const std::pair<Problem, std::u16string> reasons[] = {
      {Problem::None, u""},
      {Problem::Unreadable, u"#10(%1,%2)"},     {Problem::NotWim, u"#11(%1,%2)"},
      {Problem::CutShort, u"#12(%1,%2)"},       {Problem::LaterPart, u"#13(7,9)"},
      {Problem::CompressedXml, u"#14(%1,%2)"},  {Problem::XmlTooLarge, u"#15(%1,%2)"},
      {Problem::XmlOutsideFile, u"#15(%1,%2)"}, {Problem::BrokenXml, u"#16(%1,%2)"},
      {Problem::CountMismatch, u"#17(7,9)"},    {Problem::EncryptedEsd, u"#18(%1,%2)"}};
  for (const auto& [p, reason] : reasons) {
    Failure f;
    f.problem = p;
    f.value = 7;
    f.limit = 9;
    EXPECT_EQ(ReasonText(f, text), reason) << static_cast<int>(p);
  }

  // Paths: Explorer's quotes taken off; nothing to read for an empty field.
  EXPECT_EQ(PathToRead(u"\"C:\\a b.wim\""), u"C:\\a b.wim");
  EXPECT_EQ(PathToRead(u"C:\\a.wim"), u"C:\\a.wim");
  EXPECT_FALSE(PathToRead(u""));
  EXPECT_FALSE(PathToRead(u"\"\""));
  EXPECT_FALSE(PathToRead(u"  "));
}

// The tool starts in the program folder: a path field's relative forms name files there, as the tool sees them.
TEST(ListPath, RelativePathsAreTheToolsFilesInTheProgramFolder) {
  const std::u16string folder = u"D:\\Tools\\Vantrel";
  EXPECT_EQ(ResolvedPath(folder, u"x.wim"), u"D:\\Tools\\Vantrel\\x.wim");
  EXPECT_EQ(ResolvedPath(folder, u"..\\images\\x.wim"), u"D:\\Tools\\Vantrel\\..\\images\\x.wim");
  EXPECT_EQ(ResolvedPath(u"D:\\", u"x.wim"), u"D:\\x.wim");  // a drive root keeps one separator
  // Full paths stay as they are, in every form.
  for (std::u16string_view full : {u"C:\\a b\\x.wim", u"c:/x.wim", u"\\\\server\\share\\x.wim",
                                   u"//server/share/x.wim", u"\\\\?\\C:\\x.wim", u"\\\\.\\PhysicalDrive0"})
    EXPECT_EQ(ResolvedPath(folder, full), full);
  // Rooted on the current drive: the program folder's drive, or its share.
  EXPECT_EQ(ResolvedPath(folder, u"\\images\\x.wim"), u"D:\\images\\x.wim");
  EXPECT_EQ(ResolvedPath(folder, u"/x.wim"), u"D:/x.wim");
  EXPECT_EQ(ResolvedPath(u"\\\\nas\\tools\\Vantrel", u"\\x.wim"), u"\\\\nas\\tools\\x.wim");
  EXPECT_EQ(ResolvedPath(u"\\\\nas\\tools", u"x.wim"), u"\\\\nas\\tools\\x.wim");
  EXPECT_EQ(ResolvedPath(u"\\\\?\\UNC\\nas\\tools\\V", u"\\x.wim"), u"\\\\?\\UNC\\nas\\tools\\x.wim");
  EXPECT_EQ(ResolvedPath(u"\\\\?\\D:\\V", u"\\x.wim"), u"\\\\?\\D:\\x.wim");
  // Relative to a drive's current folder: the program folder on its own drive (either case), another drive's
  // current folder is the system's to find.
  EXPECT_EQ(ResolvedPath(folder, u"D:x.wim"), u"D:\\Tools\\Vantrel\\x.wim");
  EXPECT_EQ(ResolvedPath(folder, u"d:sub\\x.wim"), u"D:\\Tools\\Vantrel\\sub\\x.wim");
  EXPECT_EQ(ResolvedPath(folder, u"E:x.wim"), u"E:x.wim");
  EXPECT_EQ(ResolvedPath(u"\\\\nas\\tools", u"D:x.wim"), u"D:x.wim");
  // No full program folder (it could not be had): the path as typed.
  EXPECT_EQ(ResolvedPath(u"", u"x.wim"), u"x.wim");
  EXPECT_EQ(ResolvedPath(u"Vantrel", u"\\x.wim"), u"\\x.wim");
  EXPECT_EQ(ResolvedPath(u"\\\\nas", u"x.wim"), u"x.wim");
  EXPECT_EQ(ResolvedPath(folder, u""), u"");
}

// A cloud or archived file is never opened (reading its header would fetch all of it): its line gives the plain
// reason, and with no list nothing is refused on it.
TEST(ListPath, CloudAndArchivedFilesAreLeftUnreadWithAReason) {
  EXPECT_EQ(KindOf(0x20), FileKind::Local);  // archive bit
  EXPECT_EQ(KindOf(0x80), FileKind::Local);  // normal
  EXPECT_EQ(KindOf(0x1), FileKind::Local);   // read-only
  EXPECT_EQ(KindOf(0x10), FileKind::NoFile);
  EXPECT_EQ(KindOf(0x10 | 0x400000), FileKind::NoFile);  // a folder on demand is still no file
  for (std::uint32_t away : {0x1000u, 0x40000u, 0x400000u, 0x20u | 0x400000u | 0x80000u})
    EXPECT_EQ(KindOf(away), FileKind::NotLocal) << away;
  EXPECT_EQ(KindOf(0x80000 | 0x20), FileKind::Local);  // pinned (FILE_ATTRIBUTE_PINNED) and present

  Listing listing;
  listing.state = Listing::State::Read;
  listing.description.failure.problem = Problem::NotLocal;
  const TextLookup text = [](std::uint16_t id) { return id == kReasonNotLocal ? std::u16string(u"away") : u"?"; };
  EXPECT_EQ(IndexLine(listing, u"7", text), u"away");
  EXPECT_EQ(AppendLine(listing, true, text), u"away");
  EXPECT_FALSE(listing.ImageCount());
  EXPECT_TRUE(PickList(listing, text).empty());
}

// A click refuses an index only on a list of the file as it is: one written since (an append) may hold it.
TEST(ListPath, AListIsCheckedAgainstOnlyWhileTheFileIsAsItWasRead) {
  Listing listing;
  listing.state = Listing::State::Read;
  listing.description.images.resize(2);
  listing.stamp = {4096, 133'000'000'000'000'000};
  EXPECT_EQ(CountToCheck(listing, FileStamp{4096, 133'000'000'000'000'000}), 2u);
  EXPECT_FALSE(CountToCheck(listing, FileStamp{8192, 133'000'000'000'000'000}));  // grown
  EXPECT_FALSE(CountToCheck(listing, FileStamp{4096, 133'000'000'000'000'001}));  // written, same size
  EXPECT_FALSE(CountToCheck(listing, std::nullopt));                               // gone, or not to be asked
  listing.description.failure.problem = Problem::NotWim;
  EXPECT_FALSE(CountToCheck(listing, listing.stamp));
  EXPECT_FALSE(CountToCheck(Listing(), FileStamp{}));
}

// The commands under the list act on the image the index box names; a split is offered only for a file FAT32 cannot
// hold.
TEST(ImageChoice, CommandsFollowTheIndexAndTheFilesSize) {
  const TextLookup text = [](std::uint16_t id) { return resources::Decimal(id) + u"<%1>"; };
  auto menu = [&](const Listing& listing, std::u16string_view index) {
    std::u16string s;
    for (const CommandEntry& e : ListCommands(listing, index, text)) {
      s += e.enabled ? u'+' : u'-';
      s += e.command == ListCommand::Export ? u'E' : e.command == ListCommand::Split ? u'S'
         : e.command == ListCommand::Delete ? u'D' : u'N';
      s += e.text + u" ";
    }
    return s;
  };
  Listing listing;
  EXPECT_EQ(menu(listing, u"1"), u"");
  EXPECT_FALSE(FactsOf(listing));
  listing.state = Listing::State::Read;
  listing.description.images.resize(3);
  listing.stamp.size = kFat32LargestFile;
  const std::pair<std::u16string_view, std::u16string_view> rows[] = {
      {u"2", u"+E8101<2> +D8103<2> -N8104<%1> "},   {u" 03 ", u"+E8101<3> +D8103<3> -N8104<%1> "},
      {u"4", u"-E8101<4> -D8103<4> -N8104<%1> "},   {u"0", u"-E8101<0> -D8103<0> -N8104<%1> "},
      {u"", u"-E8101<?> -D8103<?> -N8104<%1> "},    {u" \t ", u"-E8101<?> -D8103<?> -N8104<%1> "},
      {u" R&D\t1 ", u"-E8101<R&&D 1> -D8103<R&&D 1> -N8104<%1> "},
  };
  for (const auto& [index, want] : rows) EXPECT_EQ(menu(listing, index), want);
  listing.stamp.size = kFat32LargestFile + 1;
  EXPECT_EQ(menu(listing, u"1"), u"+E8101<1> +S8102<%1> +D8103<1> -N8104<%1> ");
  // LZMS without solid blocks counts as solid; XPRESS and LZX do not.
  Header& h = listing.description.header;
  h.version = kVersionWim;
  h.flags = kFlagCompressLzms;
  h.totalParts = 5;
  ASSERT_TRUE(FactsOf(listing));
  EXPECT_TRUE(FactsOf(listing)->solid);
  EXPECT_EQ(FactsOf(listing)->parts, 5);
  EXPECT_EQ(FactsOf(listing)->imageCount, 3u);
  h.flags = 0x00020000 | 0x00040000;
  EXPECT_FALSE(FactsOf(listing)->solid);
  listing.description.failure.problem = Problem::NotWim;
  EXPECT_EQ(menu(listing, u"1"), u"");
  EXPECT_FALSE(FactsOf(listing));
}

// wimlib's naming of a split set's parts: the number before the last dot of the file name (never a folder's).
TEST(ListPath, SplitPartsAreNamedAfterTheFirst) {
  const std::u16string_view rows[][3] = {
      {u"D:\\我的 备份\\备份.swm", u"D:\\我的 备份\\备份2.swm", u"D:\\我的 备份\\备份*.swm"},
      {u"E:\\a.b.swm", u"E:\\a.b2.swm", u"E:\\a.b*.swm"}, {u"E:\\v1.0\\x", u"E:\\v1.0\\x2", u"E:\\v1.0\\x*"},
      {u"E:/v1.0/x", u"E:/v1.0/x2", u"E:/v1.0/x*"},       {u"C:set", u"C:set2", u"C:set*"},
      {u"E:\\x\\.swm", u"E:\\x\\2.swm", u"E:\\x\\*.swm"},  {u"trail.", u"trail2.", u"trail*."},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SplitPartName(row[0], 2), row[1]);
    EXPECT_EQ(SplitPartsPattern(row[0]), row[2]);
  }
  EXPECT_EQ(SplitPartName(u"E:\\a.b.swm", 10), u"E:\\a.b10.swm");
  // The save dialogs' suggestions beside the source.
  EXPECT_EQ(SuggestedExportPath(u"E:\\v1.0\\install.esd", 3), u"E:\\v1.0\\install-3.wim");
  EXPECT_EQ(SuggestedExportPath(u"E:\\v1.0\\install", 12), u"E:\\v1.0\\install-12.wim");
  EXPECT_EQ(SuggestedSplitPath(u"E:\\我的 备份\\a.b.wim"), u"E:\\我的 备份\\a.b.swm");
  EXPECT_EQ(SuggestedSplitPath(u"E:\\v1.0\\install"), u"E:\\v1.0\\install.swm");
}

}  // namespace
}  // namespace vantrel::wim
