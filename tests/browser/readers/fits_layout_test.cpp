// The HDU scan against cfitsio: every corpus file gives the HDUs that cfitsio walks, at the
// same offsets, with the same images, sizes and sample types; then inheritance as the INHERIT
// convention states it, and hostile headers that must stop the scan quickly.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "browser/readers/fits_layout.h"
#include "fits_fixture.h"

namespace kivrel {
namespace {

namespace fs = std::filesystem;
using test::Card;

std::string CorpusFits() {
  return std::string(KIVREL_CORPUS_DIR) + "/fits";
}

// What cfitsio reports for one HDU.
struct CfitsioHdu {
  LONGLONG header = 0;
  LONGLONG data = 0;
  LONGLONG end = 0;
  bool compressed = false;
  bool image = false;
  int bitpix = 0;
  std::vector<long> axes;
};

std::vector<CfitsioHdu> CfitsioHdus(const std::string& path) {
  std::vector<CfitsioHdu> out;
  fitsfile* f = nullptr;
  int status = 0;
  if (fits_open_diskfile(&f, path.c_str(), READONLY, &status) != 0) return out;
  int count = 0;
  fits_get_num_hdus(f, &count, &status);
  for (int i = 1; i <= count && status == 0; ++i) {
    CfitsioHdu h;
    int type = 0;
    fits_movabs_hdu(f, i, &type, &status);
    fits_get_hduaddrll(f, &h.header, &h.data, &h.end, &status);
    h.compressed = fits_is_compressed_image(f, &status) != 0;
    if (type == IMAGE_HDU || h.compressed) {
      int naxis = 0;
      long axes[9] = {};
      fits_get_img_param(f, 9, &h.bitpix, &naxis, axes, &status);
      h.axes.assign(axes, axes + std::min(naxis, 9));
      h.image =
          naxis >= 2 && std::all_of(h.axes.begin(), h.axes.end(), [](long a) { return a > 0; });
    }
    out.push_back(h);
  }
  fits_close_file(f, &status);
  return out;
}

TEST(FitsLayoutCorpus, EveryFileGivesTheHdusCfitsioWalks) {
  if (!fs::is_directory(CorpusFits())) GTEST_SKIP() << "no corpus at " << CorpusFits();
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(CorpusFits())) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    ++files;
    auto source = FileByteSource::Open(path);
    const FitsLayout layout = ScanFitsLayout(*source);
    const std::vector<CfitsioHdu> ref = CfitsioHdus(path);
    ASSERT_EQ(layout.hdus.size(), ref.size()) << layout.stop_reason;
    int64_t layers = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
      const FitsHdu& h = layout.hdus[i];
      SCOPED_TRACE(HduTitle(h));
      EXPECT_EQ(h.header_offset, static_cast<uint64_t>(ref[i].header));
      EXPECT_EQ(h.data_offset, static_cast<uint64_t>(ref[i].data));
      if (h.data_complete) {
        EXPECT_EQ((h.data_offset + h.data_bytes + 2879) / 2880 * 2880,
                  static_cast<uint64_t>(ref[i].end));
      }
      EXPECT_EQ(h.compressed.has_value(), ref[i].compressed);
      EXPECT_EQ(h.HasImage(), ref[i].image);
      if (!ref[i].image) continue;
      EXPECT_EQ(h.Width(), ref[i].axes[0]);
      EXPECT_EQ(h.Height(), ref[i].axes[1]);
      EXPECT_EQ(h.compressed ? h.compressed->zbitpix : h.bitpix, ref[i].bitpix);
      int64_t planes = 1;
      for (std::size_t a = 2; a < ref[i].axes.size(); ++a)
        planes *= ref[i].axes[a];
      EXPECT_EQ(h.planes, planes);
      layers += planes;
    }
    EXPECT_EQ(layout.LayerCount(), layers);
  }
  EXPECT_GT(files, 0);
}

// The files whose image lies after an empty primary, as the corpus notes describe them.
TEST(FitsLayoutCorpus, ImagesAfterAnEmptyPrimary) {
  if (!fs::is_directory(CorpusFits())) GTEST_SKIP() << "no corpus at " << CorpusFits();
  struct Row {
    const char* path;
    int first_image;
    int64_t layers;
    const char* name;
  };
  const Row rows[] = {{"o4sp040b0_raw.fits", 1, 2, "SCI,1"},
                      {"test0.fits", 1, 4, "SCI,1"},
                      {"ukidss/image.fits", 1, 1, "WSAIMAGE"},
                      {"m13_rice.fits", 1, 1, "COMPRESSED_IMAGE"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    auto source = FileByteSource::Open(CorpusFits() + "/" + row.path);
    const FitsLayout layout = ScanFitsLayout(*source);
    ASSERT_EQ(layout.FirstImageHdu(), row.first_image);
    EXPECT_EQ(layout.LayerCount(), row.layers);
    EXPECT_EQ(HduName(layout.hdus[row.first_image]), row.name);
    for (int64_t k = 0; k < layout.LayerCount(); ++k) {
      const FitsLayerRef ref = layout.Layer(k);
      ASSERT_GE(ref.hdu, 0);
      EXPECT_EQ(layout.FirstLayerOf(ref.hdu) + ref.plane, k);
    }
    EXPECT_EQ(layout.Layer(layout.LayerCount()).hdu, -1);
  }
}

bool HasCard(const std::vector<std::string>& cards, std::string_view keyword) {
  return FitsCardValue(cards, keyword).has_value();
}

// INHERIT = T brings the primary's keywords, INHERIT = F none, no INHERIT after an empty
// primary brings them too; data-describing keywords never come.
TEST(FitsLayoutCorpus, InheritanceFollowsTheInheritKeyword) {
  if (!fs::is_directory(CorpusFits())) GTEST_SKIP() << "no corpus at " << CorpusFits();
  auto scan = [](const char* name) {
    auto source = FileByteSource::Open(CorpusFits() + "/" + name);
    return ScanFitsLayout(*source);
  };
  const FitsLayout ukidss = scan("ukidss/image.fits");
  const auto u = EffectiveCards(ukidss, 1);
  EXPECT_EQ(FitsCardValue(u, "RADESYS"), "FK5");
  EXPECT_EQ(FitsCardValue(u, "EQUINOX"), "2000.000");
  EXPECT_EQ(FitsCardValue(u, "NAXIS1"), "300");  // the extension's own structure
  const FitsLayout test0 = scan("test0.fits");
  const auto t = EffectiveCards(test0, 2);
  EXPECT_TRUE(HasCard(t, "INSTRUME"));
  EXPECT_FALSE(HasCard(t, "BZERO"));  // the primary's BZERO = 32768 describes no data here
  EXPECT_FALSE(HasCard(t, "GROUPS"));
  const FitsLayout o4sp = scan("o4sp040b0_raw.fits");
  const auto o = EffectiveCards(o4sp, 1);
  EXPECT_FALSE(HasCard(o, "TELESCOP"));  // INHERIT = F
  EXPECT_EQ(o.size(), o4sp.hdus[1].cards.size());
  EXPECT_EQ(EffectiveCards(o4sp, 0), o4sp.hdus[0].cards);
}

// A byte source that repeats one header block without end after a first block.
class EndlessHeaders final : public ByteSource {
 public:
  EndlessHeaders(test::Bytes first, test::Bytes repeated)
      : first_(std::move(first)), repeated_(std::move(repeated)) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<uint8_t*>(buffer);
    for (std::size_t i = 0; i < size; ++i, ++pos_)
      out[i] = pos_ < first_.size() ? first_[pos_]
                                    : repeated_[(pos_ - first_.size()) % repeated_.size()];
    delivered += size;
    return size;
  }
  void Seek(uint64_t offset) override { pos_ = offset; }
  uint64_t Position() const override { return pos_; }
  std::optional<uint64_t> Size() const override { return std::nullopt; }
  uint64_t delivered = 0;

 private:
  test::Bytes first_;
  test::Bytes repeated_;
  uint64_t pos_ = 0;
};

TEST(FitsLayoutHostile, EndlessHeadersStopAtTheCaps) {
  const test::Bytes primary =
      test::HeaderBlocks({Card("SIMPLE", "T"), Card("BITPIX", "8"), Card("NAXIS", "0"), "END"});
  const test::Bytes no_end_primary =
      test::HeaderBlocks({Card("SIMPLE", "T"), Card("BITPIX", "8"), Card("NAXIS", "0")});
  EndlessHeaders no_end(no_end_primary, test::HeaderBlocks({"COMMENT endless"}));
  const FitsLayout a = ScanFitsLayout(no_end);
  EXPECT_EQ(a.stop_reason, "HDU 1 : en-tête trop long");
  EXPECT_LE(no_end.delivered, static_cast<uint64_t>(kMaxFitsCards) * 80 + 2 * 2880 + 2880);

  const test::Bytes empty_ext =
      test::HeaderBlocks({Card("XTENSION", "'IMAGE   '"), Card("BITPIX", "8"), Card("NAXIS", "0"),
                          Card("PCOUNT", "0"), Card("GCOUNT", "1"), "END"});
  EndlessHeaders many(primary, empty_ext);
  const FitsLayout b = ScanFitsLayout(many);
  EXPECT_EQ(b.hdus.size(), static_cast<std::size_t>(kMaxFitsHdus));
  EXPECT_NE(b.stop_reason, "");
}

// Declared sizes never turn into allocations: each header below is scanned from a file of a
// few blocks and stops with the reason given, keeping the HDUs before it.
TEST(FitsLayoutHostile, MalformedHeadersStopWithTheirReason) {
  struct Row {
    std::vector<std::string> cards;
    const char* reason;
    int64_t layers = 0;  // a cut image still counts: its missing samples read as 0
  };
  const std::string ext = Card("XTENSION", "'IMAGE   '");
  const Row rows[] = {
      {{ext, Card("BITPIX", "16"), Card("NAXIS", "2"), Card("NAXIS1", "1000000"),
        Card("NAXIS2", "1000000"), "END"},
       "HDU 2 : données tronquées",
       1},
      {{ext, Card("BITPIX", "16"), Card("NAXIS", "3"), Card("NAXIS1", "9223372036854775807"),
        Card("NAXIS2", "9223372036854775807"), Card("NAXIS3", "2"), "END"},
       "HDU 2 : NAXISn ?"},
      {{ext, Card("BITPIX", "12"), Card("NAXIS", "0"), "END"}, "HDU 2 : BITPIX = 12 ?"},
      {{ext, Card("BITPIX", "8"), Card("NAXIS", "2"), Card("NAXIS1", "-5"), Card("NAXIS2", "1"),
        "END"},
       "HDU 2 : NAXIS1 = -5 ?"},
      {{ext, Card("BITPIX", "8"), Card("NAXIS", "2"), Card("NAXIS1", "abc"), "END"},
       "HDU 2 : NAXIS1 = abc ?"},
      {{ext, Card("BITPIX", "8"), Card("NAXIS", "2"), Card("NAXIS1", "5"), "END"},
       "HDU 2 : NAXIS2 ?"},
      {{Card("XTENSION", "'DUMP    '"), Card("BITPIX", "8"), Card("NAXIS", "0"), "END"},
       "HDU 2 : XTENSION = 'DUMP' ?"},
      {{ext, Card("BITPIX", "8")}, "HDU 2 : en-tête tronqué"},
  };
  const test::Bytes primary =
      test::HeaderBlocks({Card("SIMPLE", "T"), Card("BITPIX", "8"), Card("NAXIS", "0"), "END"});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    test::Bytes file = primary;
    test::Bytes header = test::HeaderBlocks(row.cards);
    if (row.cards.back() != "END") header.resize(2000);  // a header cut inside its block
    file.insert(file.end(), header.begin(), header.end());
    MemoryByteSource source(file.data(), file.size());
    const FitsLayout layout = ScanFitsLayout(source);
    EXPECT_EQ(layout.stop_reason, row.reason);
    EXPECT_GE(layout.hdus.size(), 1u);
    EXPECT_EQ(layout.LayerCount(), row.layers);
  }
}

}  // namespace
}  // namespace kivrel
