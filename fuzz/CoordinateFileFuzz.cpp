// The keyboard picture's coordinate file: any bytes give keys or none.
#include "FuzzSupport.h"
#include "kb/widgets/CoordButtonImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ParseCoordinates(kbfuzz::Text(data, size));
    return 0;
}
