#include "audio/library_messages.h"

extern "C" {
#include <libavutil/log.h>
}

void quiet_library_messages()
{
    av_log_set_level(AV_LOG_ERROR);
}
