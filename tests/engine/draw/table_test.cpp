// The kernel table: every cell listed once and served, the kernels counted,
// the sharing exactly as the families give it, and every pair of formats
// reaching its group.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "engine/draw/dispatch.h"
#include "engine/draw/kernel_table.h"

namespace {

using CellId = std::tuple<int, int, int, int>;  // source, destination, operation, variant

CellId idOf(const imgKernelCell& c) { return {c.src, c.dst, c.op, c.variant}; }

std::vector<int> variantsOf(int op) {
  switch (op) {
    case opCopy:
    case opAdd: return {vPlain, vKey, vZ, vKeyZ, vScaled, vScaledKey};
    case opAlpha: return {vPlain, vKey, vScaled, vScaledKey};
    case opAlphaAdd:
    case opAlphaMap: return {vPlain, vKey};
    default: return {vPlain, vKey, vZ, vKeyZ};
  }
}

}  // namespace

TEST(KernelTable, EveryCellOnceAndServed) {
  std::set<CellId> expected;
  for (int s = srcP8; s < srcGroups; ++s) {
    const int dstEnd = s == srcP8 ? dstA1R5G5B5 : dstP8;  // P8's X1R5G5B5 group serves A1R5G5B5 too
    for (int d = dstR8G8B8; d < dstEnd; ++d)
      for (int op = 0; op < kernelOps; ++op)
        for (int v : variantsOf(op)) expected.insert({s, d, op, v});
  }
  EXPECT_EQ(expected.size(), 29u * 48);
  expected.insert({srcP8, dstP8, opCopy, vPlain});
  expected.insert({srcP8, dstP8, opCopy, vScaled});

  std::set<CellId> listed;
  std::set<imgKernelFn> kernels;
  int served = 0;
  for (const imgKernelCell& c : drawTable::cells) {
    EXPECT_TRUE(listed.insert(idOf(c)).second) << "listed twice";
    EXPECT_NE(c.kernel, nullptr)
        << "cell " << int(c.src) << "->" << int(c.dst) << " op " << int(c.op) << " variant " << int(c.variant);
    if (c.kernel) {
      ++served;
      kernels.insert(c.kernel);
      EXPECT_EQ(imgKernelFor(c.src, c.dst, c.op, c.variant), c.kernel);
    }
  }
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(served, 29 * 48 + 2);
  EXPECT_EQ(kernels.size(), 1376u);
  EXPECT_EQ(imgKernelCount, 1376);
}

TEST(KernelTable, SharingAsTheFamiliesGiveIt) {
  std::map<imgKernelFn, std::set<CellId>> cellsOf;
  for (const imgKernelCell& c : drawTable::cells)
    if (c.kernel) cellsOf[c.kernel].insert(idOf(c));
  // Copy plain, Z and Scaled share alike; Alpha plain and Scaled and
  // AlphaMap plain share among the X1R5G5B5 and A1R5G5B5 sources onto
  // R5G6B5 and onto their own format. Keyed kernels never share.
  std::set<std::set<CellId>> shared;
  for (int v : {vPlain, vZ, vScaled}) {
    shared.insert({{srcP8, dstR5G6B5, opCopy, v}, {srcP8, dstX1R5G5B5, opCopy, v}});
    shared.insert({{srcR5G6B5, dstR5G6B5, opCopy, v}, {srcX1R5G5B5, dstX1R5G5B5, opCopy, v},
                   {srcA1R5G5B5, dstA1R5G5B5, opCopy, v}});
    shared.insert({{srcX1R5G5B5, dstR5G6B5, opCopy, v}, {srcA1R5G5B5, dstR5G6B5, opCopy, v}});
  }
  for (auto [op, v] : {std::pair{opAlpha, vPlain}, {opAlpha, vScaled}, {opAlphaMap, vPlain}}) {
    shared.insert({{srcX1R5G5B5, dstR5G6B5, op, v}, {srcA1R5G5B5, dstR5G6B5, op, v}});
    shared.insert({{srcX1R5G5B5, dstX1R5G5B5, op, v}, {srcA1R5G5B5, dstA1R5G5B5, op, v}});
  }
  std::set<std::set<CellId>> found;
  for (const auto& [kernel, cells] : cellsOf)
    if (cells.size() > 1) found.insert(cells);
  EXPECT_EQ(found, shared);
  // Named after the first pair.
  EXPECT_EQ(imgKernelFor(srcA1R5G5B5, dstR5G6B5, opCopy, vPlain), (&imgDraw<X1R5G5B5, R5G6B5, imgOp::Copy>));
  EXPECT_EQ(imgKernelFor(srcA1R5G5B5, dstA1R5G5B5, opCopy, vPlain), (&imgDraw<R5G6B5, R5G6B5, imgOp::Copy>));
  EXPECT_EQ(imgKernelFor(srcP8, dstX1R5G5B5, opCopy, vPlain), (&imgDraw<P8, R5G6B5, imgOp::Copy>));
  EXPECT_EQ(imgKernelFor(srcA1R5G5B5, dstA1R5G5B5, opCopy, vZ), (&imgDrawZ<R5G6B5, R5G6B5, imgOp::Copy>));
  EXPECT_EQ(imgKernelFor(srcA1R5G5B5, dstR5G6B5, opAlpha, vScaled),
            (&imgDrawScaled<X1R5G5B5, R5G6B5, imgOp::Alpha>));
  EXPECT_EQ(imgKernelFor(srcA1R5G5B5, dstA1R5G5B5, opAlphaMap, vPlain),
            (&imgDraw<X1R5G5B5, X1R5G5B5, imgOp::AlphaMap>));
}

TEST(KernelTable, FormatsReachTheirGroups) {
  // Direct: formats 1 to 6 on both sides, 2 and 3 one group.
  const int src[] = {-1, srcR8G8B8, srcX8R8G8B8, srcX8R8G8B8, srcR5G6B5, srcX1R5G5B5, srcA1R5G5B5, -1, -1, srcP8, -1};
  const int dst[] = {-1, dstR8G8B8, dstX8R8G8B8, dstX8R8G8B8, dstR5G6B5, dstX1R5G5B5, dstA1R5G5B5, -1, -1, dstP8, -1};
  // Paletted: 5 and 6 one group; no P8 destination.
  const int pal[] = {-1, dstR8G8B8, dstX8R8G8B8, dstX8R8G8B8, dstR5G6B5, dstX1R5G5B5, dstX1R5G5B5, -1, -1, -1, -1};
  for (int f = 0; f <= 10; ++f) {
    EXPECT_EQ(imgDirectSrcGroup(f), src[f]) << f;
    EXPECT_EQ(imgDirectDstGroup(f), dst[f]) << f;
    EXPECT_EQ(imgPalettedDstGroup(f), pal[f]) << f;
  }
  for (int f : {-1, 11, 255}) {
    EXPECT_EQ(imgDirectSrcGroup(f), -1);
    EXPECT_EQ(imgDirectDstGroup(f), -1);
    EXPECT_EQ(imgPalettedDstGroup(f), -1);
  }
  // Every direct pair of formats 1 to 6 has Copy served.
  for (int s = 1; s <= 6; ++s)
    for (int d = 1; d <= 6; ++d)
      EXPECT_NE(imgKernelFor(imgSrcGroup(src[s]), imgDstGroup(dst[d]), opCopy, vPlain), nullptr) << s << "->" << d;
  for (int d = 1; d <= 6; ++d) EXPECT_NE(imgKernelFor(srcP8, imgDstGroup(pal[d]), opCopy, vKey), nullptr) << d;
  EXPECT_NE(imgKernelFor(srcP8, dstP8, opCopy, vPlain), nullptr);
}
