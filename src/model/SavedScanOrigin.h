// SPDX-License-Identifier: MIT
#pragma once

#include "scan/ScanWriter.h"

#include <string>

// Where a document's tree came from when it was read from a saved scan instead of
// scanned here: the file, and what the file says of the scan (kept to be written again
// when the scan is saved anew, since its paths remain the other machine's).
struct SavedScanOrigin {
    std::string file; // the saved scan as opened (bytes)
    ScanMetadata metadata;
    // Made on this machine, of a folder named by an absolute path without "." or ".."
    // steps: only then can its paths name files here.
    bool madeHere = false;
    // The file marks hard links on some links only (gdu), so one may be counted twice.
    bool hardLinksMayCountTwice = false;
};
