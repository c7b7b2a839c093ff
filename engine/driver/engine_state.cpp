#include "driver/engine_state.h"

namespace kavrin {

XboardSession::XboardSession(Engine& driven, std::FILE* inputFile)
    : engine(driven), input{WordSource{inputFile}}, books(std::make_unique<BookSet>()) {}

}  // namespace kavrin
