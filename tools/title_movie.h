#pragma once
// The stand-in for the product's movie: a title picture of solid shapes,
// "KRIBBEL" in coloured blocks over crayon stripes and five crayons, on a
// stage of the designed 768 x 476 pixels at 24 frames per second.
#include "tools/swf_writer.h"

constexpr int32_t TitleStageWidth = 768, TitleStageHeight = 476;  // pixels
constexpr TSwfColor TitleBackground{255, 248, 231};

TSwfMovie KribbelTitleMovie();
