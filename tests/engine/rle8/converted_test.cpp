// The converted runs: the draws through them against the run kernels' walk
// at every vector level, and the runs made anew whenever what they were
// made from changes.
#include <functional>
#include <random>
#include <string>

#include "engine/draw/dispatch.h"
#include "engine/img_row.h"
#include "engine/rle8/rle8_converted.h"
#include "engine/rle8/rle8_table.h"
#include "rle8_fixture.h"
#include "Lib/talvo/src/img/vector_levels.h"

using namespace rle8_test;
using engine_test::makeImage;

namespace {

using Rle8Converted = engine_test::ImagesTest;
using Row = std::unique_ptr<imgRowCTy>;

constexpr int kW = 230, kH = 9;
// Index 0 is the key. Beside it: 7 has the key's colour, 9 differs from it
// only in the alpha byte (the key in every layout but X8R8G8B8's), 11 only
// in bits the 16-bit layouts drop.
constexpr uint32_t kKeyColour = 0xFF402010;
constexpr uint8_t kSameColour = 7, kOtherAlpha = 9, kLowBits = 11;

void spritePalette(palCTy& p, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> colours(256);
  for (uint32_t& c : colours) c = rng();
  colours[0] = colours[kSameColour] = kKeyColour;
  colours[kOtherAlpha] = kKeyColour & 0x00FFFFFF;
  colours[kLowBits] = kKeyColour | 0x00030103;
  engine_test::setColours(p, colours);
}

// Rows of key stretches, literals of every length to 40 and repeats to 100
// (several codes of one index, fills in every layout), with the indices
// that look like the key among them.
Bytes spritePels(uint32_t seed) {
  std::mt19937 rng(seed);
  const uint8_t lookalikes[] = {kSameColour, kOtherAlpha, kLowBits};
  auto index = [&] { return rng() % 4 == 0 ? lookalikes[rng() % 3] : uint8_t(1 + rng() % 255); };
  Bytes pels;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW;) {
      const int kind = int(rng() % 3);
      const int n = 1 + int(rng() % (kind == 2 ? 100 : 40));
      const uint8_t v = kind == 0 ? 0 : index();
      for (int i = 0; i < n && x < kW; ++i, ++x) pels.push_back(kind == 1 ? index() : v);
    }
  }
  return pels;
}

Image sprite(bool keyed, uint32_t seed = 1) {
  Image image = packed(kW, kH, spritePels(seed), keyed ? 0 : kNoKey);
  palCTy palette;
  spritePalette(palette, seed);
  image->SetPalette(&palette);
  return image;
}

Bytes pelsOf(const imgRowCTy& image) { return Bytes(image.buffer, image.buffer + image.BufferBytes()); }

Bytes randomPels(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (uint8_t& b : out) b = uint8_t(rng());
  return out;
}

}  // namespace

// Every layout, Copy and Alpha at weights from 0 to 256, keyed and not, over
// the whole bounds (drawn without cuts) and rectangles that start or end
// inside spans, or both: the converted runs draw what the row loop's walk
// draws, at every level.
TEST_F(Rle8Converted, DrawAsTheWalkAtEveryLevel) {
  struct Cut {
    int x, y, w, h;  // w, h of 0 or less: up to that many pels before the bounds' end
  } cuts[] = {{0, 0, 0, 0}, {0, 1, -1, -2}, {3, 0, 0, 0}, {5, 1, -16, -1}, {61, 0, 3, 0}, {100, 2, 1, 3}};
  for (bool keyedImage : {false, true}) {
    Image image = sprite(keyedImage);
    const rectCTy b = image->bounds;
    for (int format = pel_FMT_R8G8B8; format <= pel_FMT_A1R5G5B5; ++format) {
      const int dst = rle8DstOf(format), size = pelBytes(format);
      image->BuildPalTable(format);
      const uint32_t key = imgPalettedKey(format, image->keyColor);
      for (const int weight : {-1, 0, 1, 100, 128, 255, 256}) {  // -1: Copy
        const int op = weight < 0 ? rle8OpCopy : rle8OpAlpha;
        for (bool keyed : {false, true}) {
          if (keyed && !keyedImage) continue;
          for (const Cut& c : cuts) {
            SCOPED_TRACE("format " + std::to_string(format) + " weight " + std::to_string(weight) +
                         (keyed ? " keyed" : "") + (keyedImage ? " keyed image" : "") + " cut " + std::to_string(c.x) +
                         "," + std::to_string(c.y) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
            rle8DrawArgs a{};
            a.src = image.get();
            a.k = {c.x, c.y, c.w > 0 ? c.w : b.w + c.w - c.x, c.h > 0 ? c.h : b.h + c.h - c.y};
            a.table = image->GetPelFmtDesc().palette->table;
            a.dstPitch = int64_t(a.k.w) * size + 7;
            const rle8AlphaKey alphaKey{weight, key};
            a.extra = op == rle8OpCopy ? static_cast<const void*>(&key) : keyed ? static_cast<const void*>(&alphaKey) : &weight;
            const Bytes first = randomPels(size_t(a.dstPitch) * a.k.h, uint32_t(format * 1000 + weight));
            Bytes want = first;
            a.dst = want.data();
            const rle8Variants& v = rle8Table::members[dst][op];
            (keyed ? v.key : v.plain)(a);
            vector_levels::at_every_level([&] {
              Bytes got = first;
              a.dst = got.data();
              ASSERT_TRUE(rle8DrawConverted(*image, format, op, keyed, a, weight));
              EXPECT_EQ(got, want);
            });
          }
        }
      }
    }
  }
}

// After each change the draws give what a fresh copy of the image gives
// (its runs made for the first time): onto the layout drawn onto before
// the change, another, and the first again.
TEST_F(Rle8Converted, MadeAnewWhenWhatTheyComeFromChanges) {
  palCTy other;
  spritePalette(other, 5);
  const Bytes otherStored = stored(*sprite(true, 3));
  struct Change {
    const char* what;
    std::function<void(imgRle8CTy&, palCTy& shared)> apply;
  } changes[] = {
      {"nothing", [](imgRle8CTy&, palCTy&) {}},
      {"the shared palette set", [&](imgRle8CTy&, palCTy& shared) { shared.Assign(other); }},
      {"entries of the shared palette, its table marked stale",
       [](imgRle8CTy&, palCTy& shared) {
         for (uint32_t i = 1; i < shared.count; ++i) shared.entries[i].g ^= 0x55;
         shared.tableFormat = 0;
       }},
      {"another palette", [&](imgRle8CTy& image, palCTy&) { image.SetPalette(&other); }},
      {"the key", [](imgRle8CTy& image, palCTy&) { image.SetColorKey(kLowBits); }},
      {"the key dropped", [](imgRle8CTy& image, palCTy&) { image.keyFlag = 0; }},
      {"the key set again after a draw without it",
       [](imgRle8CTy& image, palCTy&) {
         image.keyFlag = 0;
         Row d(makeImage(kW, kH, pel_FMT_R5G6B5));
         const imgDrawParams p = imgDrawParamsOf(pel_OP_COPY);
         image.DrawEx(d.get(), 0, 0, nullptr, &p);
         image.SetColorKey(0);
       }},
      {"pels written through a lock",
       [](imgRle8CTy& image, palCTy&) {
         image.Lock(nullptr, img_LOCK_READWRITE);
         for (int i = 0; i < image.width * image.height; i += 3) image.data[i] = uint8_t(i);
         image.Unlock();
       }},
      {"a stored image read", [&](imgRle8CTy& image, palCTy&) {
         rwStream* s = engine_test::readStream(otherStored);
         image.Read(s);
         rwClose(s);
       }},
      {"a new size", [](imgRle8CTy& image, palCTy&) {
         image.SetSize(40, 3, nullptr);
         image.Lock(nullptr, img_LOCK_WRITE);
         for (int i = 0; i < 120; ++i) image.data[i] = uint8_t(i % 5);
         image.Unlock();
       }},
  };
  engine_test::ExactStream inPlace(otherStored);
  std::vector<Change> all(std::begin(changes), std::end(changes));
  all.push_back({"a stored image read in place", [&](imgRle8CTy& image, palCTy&) { image.ReadInPlace(&inPlace.stream); }});

  for (const Change& change : all) {
    SCOPED_TRACE(change.what);
    palCTy shared;
    spritePalette(shared, 1);
    Image image = sprite(true);
    image->SharePalette(&shared);
    std::vector<imgDrawParams> draws;
    for (int mode : {pel_OP_COPY, pel_OP_ALPHA}) {
      draws.push_back(imgDrawParamsOf(mode));
      draws.back().alpha = 100;
    }
    for (const imgDrawParams& p : draws) {
      Row d(makeImage(kW, kH, pel_FMT_R5G6B5));
      image->DrawEx(d.get(), 0, 0, nullptr, &p);
    }
    change.apply(*image, shared);
    for (const imgDrawParams& p : draws) {
      for (int format : {pel_FMT_R5G6B5, pel_FMT_X8R8G8B8, pel_FMT_R5G6B5}) {
        std::unique_ptr<imgCTy> fresh(image->Clone());
        Row got(makeImage(kW, kH, format, 0x33)), want(makeImage(kW, kH, format, 0x33));
        image->DrawEx(got.get(), 0, 0, nullptr, &p);
        fresh->DrawEx(want.get(), 0, 0, nullptr, &p);
        EXPECT_EQ(pelsOf(*got), pelsOf(*want)) << "mode " << p.mode << " format " << format;
      }
    }
  }
  EXPECT_EQ(reports().size(), 0u);
}

// Runs made while another memory zone is current outlive the zone: the
// image frees them, and a draw uses them, after the zone is gone.
TEST_F(Rle8Converted, OutliveTheZoneCurrentWhenMade) {
  Image image = sprite(true);
  const imgDrawParams p = imgDrawParamsOf(pel_OP_COPY);
  Row d(makeImage(kW, kH, pel_FMT_R5G6B5));
  image->DrawEx(d.get(), 0, 0, nullptr, &p);  // the palette's table, in zone 0
  const int zone = memZoneCreate();
  ASSERT_GT(zone, 0);
  const int before = memZoneSelect(zone);
  image->SetColorKey(kLowBits);
  image->DrawEx(d.get(), 0, 0, nullptr, &p);  // the runs made anew
  memZoneSelect(before);
  memZoneFreeAll(zone);
  std::unique_ptr<imgCTy> fresh(image->Clone());
  Row got(makeImage(kW, kH, pel_FMT_R5G6B5)), want(makeImage(kW, kH, pel_FMT_R5G6B5));
  image->DrawEx(got.get(), 0, 0, nullptr, &p);
  fresh->DrawEx(want.get(), 0, 0, nullptr, &p);
  EXPECT_EQ(pelsOf(*got), pelsOf(*want));
}
