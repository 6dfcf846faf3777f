// Numbers under a comma-decimal locale, which hosts built on GTK or Qt switch the process
// to (and the framework's own key handling does for a moment on every key press): parameter
// texts and saved states must be the C locale's byte for byte, and a state that was saved
// with commas must restore its values. ctest generates the locale (see CMakeLists.txt).
#include "ParameterText.h"
#include "ProcessorFixture.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr const char* kCommaLocale = "de_DE.UTF-8";

void enterTheCommaLocale()
{
    const char* path = std::getenv ("LOCPATH");
    ASSERT_NE (std::setlocale (LC_ALL, kCommaLocale), nullptr)
        << kCommaLocale << " is not available (LOCPATH " << (path != nullptr ? path : "not set")
        << "): the ctest fixture locale_de_DE generates it with localedef, which needs the Debian package 'locales'";

    char text[16];
    std::snprintf (text, sizeof (text), "%g", 0.25);
    ASSERT_STREQ (text, "0,25") << "the locale writes no decimal comma, so nothing here would be tested";
}

std::string percentG (float value)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%g", (double) value);
    return text;
}

class CommaLocale : public ::testing::Test
{
protected:
    void SetUp() override { std::setlocale (LC_ALL, "C"); }
    void TearDown() override { std::setlocale (LC_ALL, "C"); }
};

std::vector<float> valuesToWrite()
{
    std::vector<float> values = { 0.0f, -0.0f, 1.0f, 0.9f, 0.5f, 0.25f, 1.0f / 3.0f, 0.123456789f, 1.5f, -3.0f, 1.2f, -0.1f,
                                  1.0e-5f, 9.99999e-5f, 1.0e-4f, 0.000123456f, 999999.0f, 999999.5f, 1.0e6f, 123456.5f, 1.0e30f,
                                  std::numeric_limits<float>::min(), std::numeric_limits<float>::denorm_min(),
                                  std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(),
                                  std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN() };
    for (int i = 0; i <= 1000; ++i)
        values.push_back ((float) i / 1000.0f);

    std::mt19937 bits (20240611);
    for (int i = 0; i < 200000; ++i)
    {
        const auto pattern = (std::uint32_t) bits();
        float value;
        std::memcpy (&value, &pattern, sizeof (value));
        values.push_back (value);
    }
    return values;
}

TEST_F (CommaLocale, ParameterTextIsTheCLocalesPercentGInEveryLocale)
{
    const auto values = valuesToWrite();
    std::vector<std::string> cTexts;
    for (const float value : values)
        cTexts.push_back (percentG (value));

    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ (vendrasolith::formatParameterValue (values[i]), cTexts[i]) << "in the C locale";

    enterTheCommaLocale();
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ (vendrasolith::formatParameterValue (values[i]), cTexts[i]) << "in " << kCommaLocale;
}

struct Written
{
    std::string state;
    std::vector<std::string> texts;
};

Written writeWith (float angle, float width, float gain)
{
    HostedProcessor host (2, 2);
    host.prepare();
    auto& p = *host.processor;
    p.setParameter (0, angle);
    p.setParameter (1, width);
    p.setParameter (2, gain);

    Written written;
    juce::MemoryBlock block;
    p.getStateInformation (block);
    written.state.assign (static_cast<const char*> (block.getData()), block.getSize());
    for (auto* parameter : p.getParameters())
    {
        written.texts.push_back (parameter->getCurrentValueAsText().toStdString());
        written.texts.push_back (parameter->getText (0.0625f, 100).toStdString());
    }
    return written;
}

TEST_F (CommaLocale, StatesAndParameterTextsAreByteIdenticalToTheCLocales)
{
    const float settings[][3] = { { 0.25f, 0.5f, 0.9f }, { 0.123456789f, 1.0f / 3.0f, 1.2f }, { -3.5f, 1.0e-5f, 0.0f } };
    std::vector<Written> inC;
    for (const auto& s : settings)
        inC.push_back (writeWith (s[0], s[1], s[2]));
    EXPECT_NE (inC[0].state.find ("<Angle>0.25</Angle><Width>0.5</Width><Gain>0.9</Gain>"), std::string::npos) << inC[0].state;

    enterTheCommaLocale();
    for (size_t i = 0; i < std::size (settings); ++i)
    {
        const auto inComma = writeWith (settings[i][0], settings[i][1], settings[i][2]);
        EXPECT_EQ (inComma.state, inC[i].state);
        EXPECT_EQ (inComma.texts, inC[i].texts);
    }
}

TEST_F (CommaLocale, StatesSavedWithCommasOrPointsRestoreTheirValues)
{
    // What earlier builds saved under this locale, and what they saved elsewhere.
    const juce::String withCommas = "<Root><Angle>0,25</Angle><Width>0,5</Width><Gain>0,9</Gain><idxInputConfig>2</idxInputConfig>"
                                    "<idxBassBoost>1</idxBassBoost><idxGUI>3</idxGUI></Root>";
    const juce::String withPoints = withCommas.replaceCharacter (',', '.');

    enterTheCommaLocale();
    for (const auto& document : { withCommas, withPoints })
    {
        HostedProcessor host;
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (document), block);
        host.processor->setStateInformation (block.getData(), (int) block.getSize());
        auto& p = *host.processor;
        EXPECT_EQ (p.getParameterValue (0), 0.25f) << document;
        EXPECT_EQ (p.getParameterValue (1), 0.5f) << document;
        EXPECT_EQ (p.getParameterValue (2), 0.9f) << document;
        EXPECT_EQ (p.getInputConfiguration(), 2);
        EXPECT_EQ (p.getBassBoostStep(), 1);
        EXPECT_EQ (p.getGuiIndex(), 3);
    }

    HostedProcessor host;
    auto* gain = host.processor->getParameters()[2];
    EXPECT_EQ (gain->getValueForText ("0,5"), 0.5f) << "as a user of this locale types it into the host";
    EXPECT_EQ (gain->getValueForText ("0.5"), 0.5f);
}
} // namespace
