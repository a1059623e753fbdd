#include "app/App.h"

int main() {
    return App::Run();
}
