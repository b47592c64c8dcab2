// Palettes and pel format descriptors.
#include "engine/pal.h"

#include <cstring>

#include "base/err.h"
#include "base/mem.h"
#include "engine/rw.h"

namespace {

A8R8G8B8 entryOf(uint32_t colour) { return pelFromRaw<A8R8G8B8>(colour); }

// An entry as a pel of a format 1 to 6 (bit 15 of formats 5 and 6 clear);
// false for other formats.
bool entryAs(const A8R8G8B8& e, int format, uint32_t* pel) {
  uint16_t v = 0;
  switch (format) {
    case pel_FMT_R8G8B8:
      *pel = pelRaw(R8G8B8{e.b, e.g, e.r});
      return true;
    case pel_FMT_X8R8G8B8:
    case pel_FMT_A8R8G8B8:
      *pel = pelRaw(e);
      return true;
    case pel_FMT_R5G6B5:
      pelPackR5G6B5(v, e.r >> 3, e.g >> 2, e.b >> 3);
      *pel = v;
      return true;
    case pel_FMT_X1R5G5B5:
    case pel_FMT_A1R5G5B5:
      pelPackX1R5G5B5(v, e.r >> 3, e.g >> 3, e.b >> 3);
      *pel = v;
      return true;
    default:
      return false;
  }
}

A8R8G8B8* copyEntries(const A8R8G8B8* from, uint32_t count) {
  if (count == 0) return nullptr;
  auto* fresh = static_cast<A8R8G8B8*>(memAlloc(size_t(count) * sizeof(A8R8G8B8)));
  if (fresh) std::memcpy(fresh, from, size_t(count) * sizeof(A8R8G8B8));
  return fresh;
}

}  // namespace

// --- palCTy ---------------------------------------------------------------------

palCTy::~palCTy() {
  memHooks.free(entries);
  memHooks.free(table);
}

void palCTy::Replace(A8R8G8B8* fresh, uint32_t freshCount) {
  memHooks.free(entries);
  entries = fresh;
  count = fresh ? freshCount : 0;
  tableFormat = 0;
}

void palCTy::Set(const uint8_t* quads, uint32_t n) {
  A8R8G8B8* fresh = n ? static_cast<A8R8G8B8*>(memAlloc(size_t(n) * sizeof(A8R8G8B8))) : nullptr;
  if (fresh)
    for (uint32_t i = 0; i < n; ++i) fresh[i] = {quads[4 * i], quads[4 * i + 1], quads[4 * i + 2], 255};
  Replace(fresh, n);
}

void palCTy::Assign(const palCTy& other) {
  // Copied before the old entries go: the other may be this palette.
  Replace(copyEntries(other.entries, other.count), other.count);
}

void palCTy::BuildTbl(int format) {
  if (table && tableFormat == format) return;
  memHooks.free(table);
  table = nullptr;
  tableFormat = format;
  const int size = pelBytes(format);
  table = static_cast<uint8_t*>(memCalloc(size_t(kTableEntries) * size + kTableSlack));
  uint32_t pel = 0;
  if (!entryAs(A8R8G8B8{}, format, &pel)) {
    // The table stays recorded for the format: zeroed, reported once.
    errPrintf(ERR_LEVEL_ERROR, "palCTy::BuildTbl: not impelmetned yet");
    return;
  }
  if (!table) return;
  const uint32_t n = count < kTableEntries ? count : kTableEntries;
  for (uint32_t i = 0; i < n; ++i) {
    entryAs(entries[i], format, &pel);
    // Formats 5 and 6 carry the entry's alpha in bit 15 (A >> 7), so both
    // tables are one.
    if (format == pel_FMT_X1R5G5B5 || format == pel_FMT_A1R5G5B5) pel |= uint32_t(entries[i].a >> 7) << 15;
    std::memcpy(table + size_t(i) * size, &pel, size_t(size));
  }
}

void palCTy::Write(rwStream* stream) const {
  rwWriteInt(stream, static_cast<int32_t>(count));
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t rgb[3] = {entries[i].r, entries[i].g, entries[i].b};
    rwWrite(stream, rgb, 3);
  }
}

void palCTy::Read(rwStream* stream) {
  const int32_t n = rwReadInt(stream);
  if (stream->failed) return;
  if (n < 0 || uint32_t(n) > kTableEntries || int64_t(n) * 3 > int64_t(stream->length) - stream->position) {
    stream->failed = 1;
    Replace(nullptr, 0);
    return;
  }
  A8R8G8B8* fresh = n ? static_cast<A8R8G8B8*>(memAlloc(size_t(n) * sizeof(A8R8G8B8))) : nullptr;
  for (int32_t i = 0; fresh && i < n; ++i) {
    uint8_t rgb[3];
    rwRead(stream, rgb, 3);
    fresh[i] = {rgb[2], rgb[1], rgb[0], 255};
  }
  Replace(fresh, uint32_t(n));
}

uint8_t palCTy::Nearest(uint32_t colour) const {
  const A8R8G8B8 c = entryOf(colour);
  int32_t best = 10000;
  uint32_t bestIndex = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t db = entries[i].b - c.b, dg = entries[i].g - c.g, dr = entries[i].r - c.r;
    const int32_t d = db * db + dg * dg + dr * dr;
    if (d == 0) return static_cast<uint8_t>(i);
    if (d < best) {
      best = d;
      bestIndex = i;
    }
  }
  return static_cast<uint8_t>(bestIndex);
}

uint32_t palCTy::Entry(uint32_t index) const { return index < count ? pelRaw(entries[index]) : 0; }

// --- pelFmtDesc -----------------------------------------------------------------

pelFmtDesc::~pelFmtDesc() { ReleaseOwned(); }

void pelFmtDesc::ReleaseOwned() {
  if (owns) delete palette;
  palette = nullptr;
  owns = 0;
}

pelFmtDesc::pelFmtDesc(const pelFmtDesc& other) : format(other.format), waitsShared(other.waitsShared) {
  if (other.palette) SetPaletteCopy(other.palette);
}

pelFmtDesc& pelFmtDesc::operator=(const pelFmtDesc& other) {
  if (this == &other) return *this;
  // The copy is made before the old palette goes: the other may borrow it.
  palCTy* copy = nullptr;
  if (other.palette) {
    copy = new palCTy;
    copy->Assign(*other.palette);
  }
  ReleaseOwned();
  format = other.format;
  waitsShared = other.waitsShared;
  palette = copy;
  owns = copy ? 1 : 0;
  return *this;
}

void pelFmtDesc::Set(int fmt, palCTy* pal) {
  format = fmt;
  palette = pal;
  owns = 0;
  waitsShared = 0;
}

void pelFmtDesc::SetPaletteCopy(const palCTy* pal) {
  if (!palette || !owns) {
    palette = new palCTy;
    owns = 1;
  }
  waitsShared = 0;
  palette->Assign(*pal);
}

void pelFmtDesc::SharePalette(palCTy* pal) {
  waitsShared = 0;
  // Sharing the palette it owns keeps it owned: deleting it would leave the
  // descriptor pointing at freed entries.
  if (pal && pal == palette) return;
  ReleaseOwned();
  palette = pal;
}

void pelFmtDesc::BuildTbl(int fmt) {
  if (palette) palette->BuildTbl(fmt);
}

uint32_t pelFmtDesc::ToNative(uint32_t pel, int from) const {
  if (from != pel_FMT_X8R8G8B8) return pel;
  const A8R8G8B8 c = entryOf(pel);
  uint16_t v = 0;
  switch (format) {
    case pel_FMT_R8G8B8:
      return pel & 0x00FFFFFF;
    case pel_FMT_R5G6B5:
      pelPackR5G6B5(v, c.r >> 3, c.g >> 2, c.b >> 3);
      return v;
    case pel_FMT_X1R5G5B5:
      pelPackX1R5G5B5(v, c.r >> 3, c.g >> 3, c.b >> 3);
      return v;
    case pel_FMT_A1R5G5B5:
      // Bit 15 set, as the draw's conversion of a colour into A1R5G5B5.
      v = 0x8000;
      pelPackX1R5G5B5(v, c.r >> 3, c.g >> 3, c.b >> 3);
      return v;
    case pel_FMT_P8:
      return palette ? palette->Nearest(pel) : pel;
    default:
      return pel;
  }
}

uint32_t pelFmtDesc::ToRGB(uint32_t pel, int to) const {
  if (palette) {
    const A8R8G8B8 e = entryOf(palette->Entry(pel));
    uint32_t out = 0;
    if (!entryAs(e, to, &out)) return pel;
    // The index's own high bits stand where the entry has none (0 for any
    // index of an 8-bit image).
    if (to == pel_FMT_R8G8B8) out |= pel & 0xFF000000;
    if (to == pel_FMT_X1R5G5B5 || to == pel_FMT_A1R5G5B5) out |= pel & 0x8000;
    return out;
  }
  if (to != pel_FMT_X8R8G8B8) return pel;
  switch (format) {
    case pel_FMT_R8G8B8:
      return (pel & 0x00FFFFFF) | 0xFF000000;
    case pel_FMT_R5G6B5:
      return pelRaw(pelConvert<R5G6B5, X8R8G8B8>(R5G6B5{uint16_t(pel)}));
    case pel_FMT_X1R5G5B5:
    case pel_FMT_A1R5G5B5:
      return pelRaw(pelConvert<X1R5G5B5, X8R8G8B8>(X1R5G5B5{uint16_t(pel)}));
    default:
      return pel;
  }
}

void pelFmtDesc::Write(rwStream* stream) const {
  rwWriteInt(stream, format);
  if (!palette) {
    rwWriteInt(stream, waitsShared ? 2 : 0);
  } else if (owns) {
    rwWriteInt(stream, 1);
    palette->Write(stream);
  } else {
    rwWriteInt(stream, 2);
  }
}

void pelFmtDesc::Read(rwStream* stream) {
  const int32_t fmt = rwReadInt(stream);
  if (stream->failed) return;
  if (!pelFmtValid(fmt)) {
    stream->failed = 1;
    return;
  }
  format = fmt;
  const int32_t tag = rwReadInt(stream);
  if (stream->failed) return;
  switch (tag) {
    case 0:
      break;
    case 1: {
      auto* pal = new palCTy;
      pal->Read(stream);
      ReleaseOwned();
      palette = pal;
      owns = 1;
      waitsShared = 0;
      break;
    }
    case 2:
      ReleaseOwned();
      waitsShared = 1;
      break;
    default:
      errPrintf(ERR_LEVEL_ERROR, "Unknow palette kind: %d", tag);
      break;
  }
}
