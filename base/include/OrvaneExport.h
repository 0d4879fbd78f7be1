#pragma once

// The kit's shared libraries export their API with default visibility; the
// extension modules are built with hidden visibility, so every kit type that
// crosses a library boundary (type identity, virtual tables) is marked here.
#define ORVANE_EXPORT __attribute__((visibility("default")))
