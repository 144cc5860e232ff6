#include "ui/rooms.h"

#include "input/room_host.h"
#include "link/link_wiring.h"
#include "lists/ui/lists_wiring.h"
#include "memory/ui/memory_wiring.h"
#include "net/net_wiring.h"
#include "noise/ui/noise_wiring.h"
#include "schedule/ui/schedule_wiring.h"
#include "web/web_wiring.h"

Rooms JoinRooms(RoomHost& host) {
    Rooms rooms;
    rooms.lists = new ListsRoom(host);
    rooms.link = new LinkRoom(host);
    rooms.net = new NetRoom(host);
    rooms.memory = new MemoryRoom(host);
    rooms.noise = new NoiseRoom(host);
    rooms.schedule = new ScheduleRoom(host);
    rooms.web = new WebRoom(host);
    return rooms;
}
