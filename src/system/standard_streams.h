// The three standard descriptors as the tool relies on them.
#pragma once

namespace camknob {

// Takes each closed standard descriptor (0, 1, 2) with a read-only /dev/null,
// so that no file the tool opens later becomes its standard output; writing
// to such a descriptor fails just as writing to a closed one does.
void holdStandardDescriptors();

}  // namespace camknob
