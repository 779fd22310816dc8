#include "acquisition/serial_motor_keys.h"

#include <Qt>

namespace bc {

namespace {

struct ArrowBytes {
    int key;
    uint8_t command;
    uint8_t stop;
};

constexpr ArrowBytes kArrows[] = {
    {Qt::Key_Left, 0x21, 0x22},
    {Qt::Key_Right, 0x23, 0x24},
    {Qt::Key_Up, 0x25, 0x26},
    {Qt::Key_Down, 0x27, 0x28},
};

int arrowIndex(int qtKey)
{
    for (int i = 0; i < 4; ++i) {
        if (kArrows[i].key == qtKey)
            return i;
    }
    return -1;
}

} // namespace

std::optional<uint8_t> CMotorKeys::commandByte(int qtKey)
{
    const int i = arrowIndex(qtKey);
    if (i < 0)
        return std::nullopt;
    return kArrows[i].command;
}

std::optional<uint8_t> CMotorKeys::stopByte(int qtKey)
{
    const int i = arrowIndex(qtKey);
    if (i < 0)
        return std::nullopt;
    return kArrows[i].stop;
}

std::optional<uint8_t> CMotorKeys::keyDown(int qtKey, bool ctrlHeld, bool counterFound)
{
    const int i = arrowIndex(qtKey);
    if (i < 0 || !ctrlHeld || !counterFound)
        return std::nullopt;
    held_ |= 1u << i;
    return kArrows[i].command;
}

std::optional<uint8_t> CMotorKeys::keyUp(int qtKey)
{
    const int i = arrowIndex(qtKey);
    if (i < 0 || !(held_ & (1u << i)))
        return std::nullopt;
    held_ &= ~(1u << i);
    return kArrows[i].stop;
}

std::vector<uint8_t> CMotorKeys::releaseAll()
{
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 4; ++i) {
        if (held_ & (1u << i))
            bytes.push_back(kArrows[i].stop);
    }
    held_ = 0;
    return bytes;
}

} // namespace bc
