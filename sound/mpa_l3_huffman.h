// Layer III Huffman lookup tables, made from the standard's code tables
// during static initialisation (mpa_l3_huffman.cpp).
//
// A lookup starts with a header word: the number of bits k to look at. Then
// 2^k entries: a leaf (byte 0 the count of non-zero values, byte 1 x, byte 2
// y, byte 3 the code bits used at this level), or, with byte 3 zero, the
// offset in words from the entry to a sub-table with its own header.
#pragma once

#include <cstdint>

// The lookup of pair table 0 to 31 (16 to 23 share the code of 16, 24 to 31
// that of 24), null for the tables without code (0, 4, 14) and for a code
// table that is no complete prefix code.
const uint32_t* mpaL3PairLookup(int table);
// Whole quadruples with their sign bits: by the next 10 bits (table A) or 8
// bits (table B), the bits of vwxy (3 v .. 0 y), those of the negative ones
// from bit 4, and the bits used from bit 8; null when the code table is no
// complete prefix code.
const uint16_t* mpaL3QuadLookup(int tableB);
// The code table itself (values per axis; 0 when there is none), for tests.
int mpaL3CodeTable(int table, const uint16_t** code, const uint8_t** len);
int mpaL3Count1ACode(int vwxy, int* len);
