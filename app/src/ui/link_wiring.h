#pragma once

class DatabaseLink;
class Main;

// Joins the database link to the main window: the link starts with the window and stops with
// it, its state shows on the database picture and the Store and Search buttons, the buttons and
// the "BS"/"BL" keys send their requests, and the database scan ("SD") steps through it.
// Returns the link, owned by the window.
DatabaseLink& WireLink(Main& main);
