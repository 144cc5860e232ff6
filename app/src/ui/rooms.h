#pragma once

// The feature rooms of the program, listed once: the program and the window tests join the
// same rooms in the same order. A new room is one line here and one in app/CMakeLists.txt.

class LinkRoom;
class ListsRoom;
class MemoryRoom;
class NetRoom;
class NoiseRoom;
class RoomHost;
class ScheduleRoom;
class WebRoom;

struct Rooms {
    ListsRoom* lists = nullptr;
    LinkRoom* link = nullptr;
    NetRoom* net = nullptr;
    MemoryRoom* memory = nullptr;
    NoiseRoom* noise = nullptr;
    ScheduleRoom* schedule = nullptr;
    WebRoom* web = nullptr;
};

// Builds every room into the host; each is a child of the host's window.
Rooms JoinRooms(RoomHost& host);
