// The start-up exchange with the interface and the engine's initialisation.
#pragma once

namespace kavrin {

// Greets the interface, announces the protocol features, builds the tables,
// clears the transposition table and loads the opening books.
class XboardSession;

void Handshake(XboardSession& session);

}  // namespace kavrin
