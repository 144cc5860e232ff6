#include "ui/rooms.h"

#include "input/room_host.h"
#include "link/link_wiring.h"
#include "lists/ui/lists_wiring.h"
#include "memory/ui/memory_wiring.h"
#include "net/net_wiring.h"
#include "noise/ui/noise_wiring.h"

Rooms JoinRooms(RoomHost& host) {
    Rooms rooms;
    rooms.lists = new ListsRoom(host);
    rooms.link = new LinkRoom(host);
    rooms.net = new NetRoom(host);
    rooms.memory = new MemoryRoom(host);
    rooms.noise = new NoiseRoom(host);
    return rooms;
}
