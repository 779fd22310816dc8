#pragma once
// The motor keys: Ctrl with an arrow key drives the winch, releasing the key
// stops it. Each arrow has a command byte and a stop byte. Every arrow whose
// command byte went out is remembered until its stop byte has gone out too, so
// a release (or losing the focus, or leaving live acquisition) always stops
// what was started.

#include <cstdint>
#include <optional>
#include <vector>

namespace bc {

class CMotorKeys {
public:
    // The command and stop bytes of a Qt arrow key (Qt::Key_Left ...), or
    // nothing for any other key.
    static std::optional<uint8_t> commandByte(int qtKey);
    static std::optional<uint8_t> stopByte(int qtKey);
    static bool isArrow(int qtKey) { return commandByte(qtKey).has_value(); }

    // Key down: the byte to send for an arrow pressed with Ctrl once the
    // depth counter has been found; nothing otherwise.
    std::optional<uint8_t> keyDown(int qtKey, bool ctrlHeld, bool counterFound);
    // Key up: the arrow's stop byte when its command byte was sent.
    std::optional<uint8_t> keyUp(int qtKey);
    // Stop bytes of every arrow still running (focus lost, mode left).
    std::vector<uint8_t> releaseAll();

    bool anyHeld() const { return held_ != 0; }

private:
    unsigned held_ = 0; // one bit per arrow
};

} // namespace bc
