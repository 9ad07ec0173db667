#pragma once
// The libraries under the engine print notes of their own to stderr (FFmpeg's
// "Discarding ID3 tags ..."). The program keeps only their errors.
void quiet_library_messages();
