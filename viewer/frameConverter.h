#pragma once

namespace cv {
class Mat;
}

// Converts a packed 4:2:2 camera frame (Y0, U, Y1, V per pair of pixels) into a blue-green-red
// picture with the full-range BT.709 matrix in 12-bit fixed point. For each pair, with Y = Y0 and
// then Y = Y1, shifts rounding towards minus infinity and every byte clamped to 0..255:
//   blue  = (4096·Y + 7601·U − 972928) >> 12
//   green = (4096·Y + 343552 − 767·U − 1917·V) >> 12
//   red   = (4096·Y + 6450·V − 825600) >> 12
// The bulk goes through the vector code, 8 pixels (16 input bytes) per step in 16-bit words with
// exact 32-bit sums, so it gives exactly these bytes; the few pixels after the last whole vector
// block go through the formulas one by one.
class frameConverter {
  public:
    // Converts `yuy2` (8-bit, 2 channels) into `bgr`, which gets its size (8-bit, 3 channels).
    // An empty or non-continuous source leaves `bgr` empty.
    static void convert(const cv::Mat& yuy2, cv::Mat& bgr);
    // The formulas alone, pixel by pixel: the reference for the vector code.
    static void convertScalar(const cv::Mat& yuy2, cv::Mat& bgr);
};
