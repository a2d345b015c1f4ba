#include "app/main_window.h"

int main(int argc, char **argv) { return app_main(argc, argv); }
