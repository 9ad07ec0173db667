#pragma once
// A record stream's buffer: the server's defaults, fragments of `fragment`.

#include <pulse/sample.h>

inline pa_buffer_attr record_attr(pa_usec_t fragment, const pa_sample_spec &spec)
{
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragment, &spec));
    return attr;
}
