// The integer edit field every panel uses: an InputInt with step 1 and fast step 100
// that shows eight upper-case hex digits and accepts only hex digits. The caller follows
// it with `wrap_into` on the field's range before any of its buttons act.
#pragma once

// Returns true when the user changed the value this frame.
bool hex_field(const char* label, int* value);
