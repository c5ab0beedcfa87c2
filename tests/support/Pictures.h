#pragma once
// What a picture shows, for tests that look at the video a player draws.
#include <QImage>

// Share of pixels (every second one in both directions) that are clearly
// not black: 0 for a black or null image, near 1 for a bright full picture.
double litShare(const QImage &image);
