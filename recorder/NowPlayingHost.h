// What the sampler needs of the shell it lives in: the now-playing controls'
// current values and a way to tell the user something went wrong. The tweak
// reads these from the shell's views; tests and the demo feed them directly.
#pragma once

#include <optional>
#include <string>

namespace corvane {

struct TrackInformation {
  std::optional<std::string> title;
  std::optional<std::string> album;
  std::optional<std::string> artist;
};

class NowPlayingHost {
 public:
  virtual ~NowPlayingHost() = default;
  // The texts the track information view shows; each may be absent.
  virtual TrackInformation trackInformation() = 0;
  // The scrubber's value: the playback position, exactly 0 at a track's start.
  virtual float position() = 0;
  virtual bool isPlaying() = 0;
  // A modal alert with one cancel button.
  virtual void showAlert(const std::string& title, const std::string& message,
                         const std::string& cancelButton) = 0;
};

}  // namespace corvane
