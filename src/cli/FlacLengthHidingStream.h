#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <optional>

namespace vendrasolith::cli
{
/** Passes a file through unchanged, except that a FLAC file's stream info announces no
    length (zero, which the format reserves for "unknown"). The framework's FLAC reader then
    counts the samples that really decode instead of taking the header's word for it, and
    padding a file that was cut short with silence. */
class FlacLengthHidingStream final : public juce::InputStream
{
public:
    explicit FlacLengthHidingStream (std::unique_ptr<juce::InputStream> source);

    /** The sample count the stream info announces, for a FLAC file that gives one. */
    std::optional<juce::int64> announcedLength() const noexcept { return announced; }

    juce::int64 getTotalLength() override { return source->getTotalLength(); }
    bool isExhausted() override { return source->isExhausted(); }
    int read (void* destBuffer, int maxBytesToRead) override;
    juce::int64 getPosition() override { return source->getPosition(); }
    bool setPosition (juce::int64 newPosition) override { return source->setPosition (newPosition); }

private:
    std::unique_ptr<juce::InputStream> source;
    juce::int64 countOffset = -1; // where the 36-bit sample count starts, in its byte's low nibble
    std::optional<juce::int64> announced;
};
} // namespace vendrasolith::cli
