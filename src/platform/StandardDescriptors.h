#pragma once
// A program started with its standard output or error closed (`>&-`) would
// hand that descriptor number to the next file it opens, and then write its
// output into that file. Each closed one of the three is taken by /dev/null,
// opened to read only, so a write to it fails as a lost output and no file
// ever takes its place.

namespace orvalt {

void KeepStandardDescriptorsTaken();

}  // namespace orvalt
