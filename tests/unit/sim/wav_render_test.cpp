#include "sim/wav_render.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "sim/output_file.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string bed = OSTRELLE_ASSETS "/radio-bed.mp3";

FrameRecord frame(double time, double duration, std::uint8_t volume) {
    FrameRecord record;
    record.time = time;
    record.duration = duration;
    record.radioVolume = volume;
    return record;
}

float peak(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    float loudest = 0.0f;
    for (std::size_t i = from * 2; i < to * 2; ++i)
        loudest = std::max(loudest, std::fabs(samples[i]));
    return loudest;
}

TEST(WavRender, TheBedFollowsTheRadioVolumeInSimulatedTime) {
    const TempFolder folder(TempFolder::Enter::no);
    const std::filesystem::path wav = folder.path() / "render.wav";
    {
        OutputFile output(wav, OutputFile::Access::seeking);
        WavRender render(output.descriptor(), wav.string(), bed, 1.5);
        render.frame(frame(0.0, 0.5, 127));
        render.frame(frame(0.5, 0.5, 0));  // glides down to silence across this frame
        render.frame(frame(1.0, 0.5, 0));
        render.frame(frame(1.5, 0.0, 64));  // a frame with no time renders nothing
        render.finish();
        OutputFile::commitAll({&output});
    }
    SF_INFO format{};
    SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &format);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(format.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16) << "a plain WAV when it fits";
    EXPECT_EQ(format.samplerate, 44100);
    EXPECT_EQ(format.channels, 2);
    ASSERT_EQ(format.frames, 66150);
    std::vector<float> samples(static_cast<std::size_t>(format.frames) * 2);
    sf_readf_float(file, samples.data(), format.frames);
    sf_close(file);

    EXPECT_GT(peak(samples, 11025, 22050), 0.05f) << "the bed plays at full";
    EXPECT_GT(peak(samples, 22050, 27000), peak(samples, 39000, 44100)) << "and fades";
    EXPECT_LT(peak(samples, 43600, 44100), 0.1f * peak(samples, 11025, 22050))
        << "to almost nothing";
    EXPECT_EQ(peak(samples, 44100, 66150), 0.0f) << "volume 0 is silence";
}

// A full disk is named with the system's reason; a bed that cannot be read is an error too.
TEST(WavRender, AFileThatCannotBeWrittenOrAnUndecodableBedIsAnError) {
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    try {
        WavRender render(full, "full.wav", bed, 1.0);
        render.frame(frame(0.0, 1.0, 127));
        render.finish();
        ADD_FAILURE() << "a full disk took the render";
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        EXPECT_TRUE(message.starts_with("full.wav: cannot write")) << message;
        EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
    }
    close(full);
    EXPECT_THROW(WavRender(1, "x.wav", "/nowhere.mp3", 1.0), std::runtime_error);
}

struct LengthCase {
    double seconds;
    bool fits;
};

void PrintTo(const LengthCase& c, std::ostream* out) {
    *out << c.seconds << " s";
}

class WavLength : public testing::TestWithParam<LengthCase> {};

// 44100 stereo 16-bit frames a second: 176400 bytes, so 4 GiB hold 24347.9 seconds.
TEST_P(WavLength, ALongerRenderIsWrittenAsRF64) {
    EXPECT_EQ(WavRender::fitsWav(GetParam().seconds), GetParam().fits);
}

INSTANTIATE_TEST_SUITE_P(Cases, WavLength,
                         testing::Values(LengthCase{0.0, true}, LengthCase{6 * 3600.0, true},
                                         LengthCase{24347.0, true}, LengthCase{24348.0, false},
                                         LengthCase{1e6, false}));

}  // namespace
