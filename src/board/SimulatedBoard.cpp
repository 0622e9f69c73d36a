#include "board/SimulatedBoard.h"

SimulatedBoard::SimulatedBoard() : PinPort(true) {
    decoder_.onWord = [this](uint16_t w) {
        for (auto& o : wordObservers_) o(w);
    };
    decoder_.onFramingError = [this](int bits) {
        for (auto& o : errorObservers_) o(bits);
    };
}

void SimulatedBoard::addWordObserver(std::function<void(uint16_t)> o) { wordObservers_.push_back(std::move(o)); }
void SimulatedBoard::addFramingErrorObserver(std::function<void(int)> o) { errorObservers_.push_back(std::move(o)); }
