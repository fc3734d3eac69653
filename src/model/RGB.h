// SPDX-License-Identifier: MIT
#pragma once

// A colour as three sRGB channels from 0 to 1.
struct RGB {
    double r = 0;
    double g = 0;
    double b = 0;
    friend bool operator==(const RGB&, const RGB&) = default;
};
