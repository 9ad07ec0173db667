// Helper process for the interrupted-write tests.
//   audio_writer_child kill  <format> <path> <seconds>
//       writes <seconds> of tone, prints "ready <samples>" and waits to be killed.
//       <format> is mp3, ogg, wav16, wav8, wma, wma:<preset>, flac16, flac24 or opus.
//   audio_writer_child fsize <format> <path> <max bytes>
//       writes under a file-size limit until WriteArray fails, closes the file
//       and prints "failed <ErrorCode> <samples written>".

#include "audio/audio_file.h"
#include "audio_test_util.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

using namespace audio_test;

int main(int argc, char **argv)
{
    if (argc != 5)
        return 2;
    const std::string mode = argv[1], format_text = argv[2];
    Format format = Format::wav16;
    for (Format f : {Format::mp3, Format::ogg, Format::wav16, Format::wav8, Format::wma,
                     Format::flac16, Format::flac24, Format::opus})
        if (format_text == format_name(f))
            format = f;
    const QString path = QString::fromLocal8Bit(argv[3]);

    if (mode == "fsize") {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write(), not a dead process
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = std::strtoull(argv[4], nullptr, 10);
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
    }

    TAudioFile2 file;
    choose_format(file, format, 44100, 2);
    if (format_text.rfind("wma:", 0) == 0) // another WMA preset, "wma:37"
        file.SetWmaProfile(std::atoi(format_text.c_str() + 4));
    file.CreateOutputFile(path, 0);
    if (file.ErrorCode() != 0)
        return 4;
    ToneSource tone(file.SampleRate(), file.Channels());
    const int64_t block = file.SampleRate() / 5; // 200 ms, as the recorder delivers

    if (mode == "kill") {
        const int64_t blocks = static_cast<int64_t>(std::atof(argv[4]) * 5);
        int64_t written = 0;
        for (int64_t i = 0; i < blocks; ++i) {
            if (!file.WriteArray(tone.next(block)))
                return 5;
            written += block * file.Channels();
        }
        std::printf("ready %lld\n", static_cast<long long>(written));
        std::fflush(stdout);
        sleep(60); // the parent kills us long before this
        return 6;
    }

    int64_t written = 0;
    for (int i = 0; i < 3000; ++i) {
        if (!file.WriteArray(tone.next(block)))
            break;
        written += block * file.Channels();
    }
    const int code = file.ErrorCode();
    // A failed file takes nothing more.
    const bool refused_after = !file.WriteArray(tone.next(block));
    file.CloseFile();
    std::printf("failed %d %lld %d\n", code, static_cast<long long>(written),
                refused_after ? 1 : 0);
    std::fflush(stdout);
    return 0;
}
