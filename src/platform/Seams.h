#pragma once
// What the windows need of the platform, built once in main and handed down:
// message boxes and the beep, the program's end, the registry, and the
// starting of other programs.
namespace platform {

class UserNotice;
class ProgramEnd;
class Registry;
class ProgramStart;

struct Seams {
    UserNotice& notice;
    ProgramEnd& end;
    Registry& registry;
    ProgramStart& programs;
};

}  // namespace platform
