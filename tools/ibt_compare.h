// The lap comparison command of the ibt tool.
#pragma once

// ibt compare FILE [--lap N] [--against M | --reference | --with OTHER[:LAP]]
// [--out PICTURE.png] [--size WxH]: two laps on one picture, saved as PNG.
int ibtCompare(int argc, char** argv);
