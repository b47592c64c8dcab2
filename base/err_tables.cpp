// The base library's error-text tables.
#include "base/err.h"

namespace {

// The getter variables of the texts. A getter's conversion to strArgGetter is
// not a constant, so they are bound by errSetup before the tables are linked
// (a static initialiser elsewhere could otherwise find them still empty).
strArgGetter kFileArg = nullptr;
strArgGetter kDriveArg = nullptr;
strArgGetter kCodeArg = nullptr;

constexpr uint32_t E = ERR_LEVEL_ERROR;
constexpr uint32_t W = ERR_LEVEL_WARNING;
constexpr uint32_t EF = ERR_LEVEL_ERROR | ERR_TEXT_FILE;
constexpr uint32_t ED = ERR_LEVEL_ERROR | ERR_TEXT_DRIVE;

const errTextRecord kGeneralRecords[] = {
    {-2, E, "No memory", nullptr},
    {-3, E, "Array too large", nullptr},
    {-5, E, "Data error", nullptr},
    {-6, E, "Value not found", nullptr},
    {-8, E, "Bad length", nullptr},
    {-10, E, "Array is empty", nullptr},
    {-9, E, "Array overflow", nullptr},
    {-60, E, "Bad EXE-file", nullptr},
    {-61, E, "Bad version", nullptr},
    {-62, E, "Bad range", nullptr},
    {-63, E, "Bad argument", nullptr},
    {-64, E, "Function is not implemented", nullptr},
    {-65, E, "String too long", nullptr},
    {-66, E, "Object is not created", nullptr},
    {-67, E, "Duplicate value", nullptr},
    {-68, E, "Timer overflow", nullptr},
    {-69, E, "Pointer is NULL", nullptr},
    {-70, W, "Number overflow", nullptr},
    {-71, E, "Division by zero", nullptr},
    {-72, E, "Format error", nullptr},
    {-73, E, "Unexpected end of data", nullptr},
    {-76, E, "To many iterations", nullptr},
    {-77, E, "Matrix is not positive", nullptr},
    {-78, E, "Bad number", nullptr},
    {-79, E, "Bad character", nullptr},
    {-249, E, "Memory access violation", nullptr},
    {-250, E, "Internal error", nullptr},
    {-251, E, "Initialization error", nullptr},
    {-252, E, "Unknown error", nullptr},
    {-253, E, "Stack is empty", nullptr},
    {-254, E, "Stack overflow", nullptr},
    {-255, E, "Program error (memory may be destroyed)", nullptr},
    {0, E, "Error %^d", &kCodeArg},  // the fallback of the whole chain
};

// A code with two texts lists the one naming the file or drive first.
const errTextRecord kFileRecords[] = {
    {-16, E, "Input/output error", nullptr},
    {-17, EF, "Can't open file '%^s'", &kFileArg},
    {-17, E, "Can't open file", nullptr},
    {-18, EF, "Can't create file '%^s'", &kFileArg},
    {-18, E, "Can't create file", nullptr},
    {-19, EF, "Can't read from file '%^s'", &kFileArg},
    {-19, E, "Can't read from file", nullptr},
    {-20, EF, "Can't write to file '%^s'", &kFileArg},
    {-20, E, "Can't write to file", nullptr},
    {-21, EF, "Can't read after end of file '%^s'", &kFileArg},
    {-21, E, "Can't read after end of file", nullptr},
    {-22, ED, "Device '%^c' is write protected", &kDriveArg},
    {-22, E, "Device is write protected", nullptr},
    {-23, E, "Operation is aborted", nullptr},
    {-24, E, "Unknown media type", nullptr},
    {-25, ED, "Disk '%^c' is full", &kDriveArg},
    {-25, E, "Disk is full", nullptr},
    {-26, EF, "Bad file '%^s' length", &kFileArg},
    {-26, E, "Bad file length", nullptr},
    {-27, E, "Path or device not found", nullptr},
    {-28, E, "Access denied", nullptr},
    {-29, E, "Device timeout", nullptr},
    {-30, E, "Buffer overflow", nullptr},
    {-31, EF, "Can't close file '%^s'", &kFileArg},
    {-31, E, "Can't close file", nullptr},
    {-32, E, "Device is not a terminal", nullptr},
    {-33, E, "Bad terminal", nullptr},
    {-34, ED, "Disk '%^c' is too big", &kDriveArg},
    {-34, E, "Disk is too big", nullptr},
    {-35, EF, "File '%^s' seek error", &kFileArg},
    {-35, E, "File seek error", nullptr},
    {-36, E, "Device is not ready", nullptr},
    {-37, E, "Device is off", nullptr},
    {-38, EF, "Bad object len in file '%^s'", &kFileArg},
    {-38, E, "Bad object len in file", nullptr},
    {-39, EF, "Bad argument in file '%^s'", &kFileArg},
    {-39, E, "Bad argument in file", nullptr},
    {-40, EF, "Incorrect version of file '%^s'", &kFileArg},
    {-40, E, "Incorrect version of file", nullptr},
    {-41, EF, "Bad data in file '%^s'", &kFileArg},
    {-41, E, "Bad data in file", nullptr},
    {-42, EF, "File '%^s' was not closed", &kFileArg},
    {-42, E, "File was not closed", nullptr},
    {0, 0, nullptr, nullptr},
};

}  // namespace

errTextTable errGeneralTable = {nullptr, ERR_LANGUAGE, 0, kGeneralRecords, nullptr};
errTextTable errFileTable = {nullptr, ERR_LANGUAGE, 0, kFileRecords, nullptr};

void errDetail::bindTableGetters() {
  kFileArg = strGetter(&errFileArg);
  kDriveArg = strGetter(&errDriveArg);
  kCodeArg = strGetter(&errCurrentCode);
}
