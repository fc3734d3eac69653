// SPDX-License-Identifier: MIT
#pragma once

#include "model/RGB.h"
#include "scan/FileNode.h"

#include <cstdint>
#include <optional>
#include <vector>

// What a rendered pixel must be, worked out from the shading formulas written out here
// on their own (ridges, light, gain, ceiling, dimming), with only the geometry taken from
// the layout. Used to check the renderer pixel by pixel.
struct ReferencePixel {
    std::vector<RGB> colors;
    bool showPackageContents = false;
    std::optional<std::int32_t> highlightKind = std::nullopt;

    [[nodiscard]] std::uint32_t at(const FileNode* root, int width, int height, int col, int row) const;

    // Shading of colour c at slope (gx, gy).
    [[nodiscard]] static std::uint32_t shade(RGB c, double gx, double gy);
};
