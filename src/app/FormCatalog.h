#pragma once
// Tell the window registry how to create every window kind of the program.
void registerAllForms();
