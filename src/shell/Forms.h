#pragma once

namespace quillet {

class TMainForm;
class TSetupForm;
class TAboutForm;
class TChatForm;
class TEditRecord;
class TChatServer;

// The program's windows, one instance each, created hidden at start-up in this order and alive
// until the event loop has ended. Null before and after. Only the shell reaches them through
// these references; other parts get what they need handed in.
extern TMainForm* MainForm;
extern TSetupForm* SetupForm;
extern TAboutForm* AboutForm;
extern TChatForm* ChatForm;
extern TEditRecord* EditRecord;
// The one listener: answers calls and starts every conversation. Alive while the event loop runs.
extern TChatServer* ChatServer;

} // namespace quillet
