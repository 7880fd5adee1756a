// The two scans exactly as the program's users know them, one start position
// after another with no shortcuts: the reference that the fast scans must
// agree with on every input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "demo/signature_scan.h"

void LiteralDetectResolution(const uint8_t* bytes, size_t size, DemoScan* scan);
void LiteralDetectHltv(const uint8_t* bytes, size_t size, DemoScan* scan);
DemoScan LiteralScanDemo(const uint8_t* bytes, size_t size);
