// The picture slots of the image base class. Until the picture files are
// read and written here, each slot leaves the image as it is.
#include "engine/img.h"

void imgCTy::LoadBmp(const char*) {}
void imgCTy::LoadBmpStream(talvo::io::IStream*) {}
void imgCTy::LoadZText(const char*) {}
void imgCTy::LoadTga(const char*) {}
void imgCTy::LoadTgaStream(talvo::io::IStream*) {}
void imgCTy::LoadJpg(const char*) {}
void imgCTy::SaveBmp(const char*) {}
