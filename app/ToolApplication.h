#pragma once

// The start of the developer tools that show the real main form (the screenshots, the accessible
// tree): the program's own start-up over the Qt widget set, offscreen unless a platform is named.

#include <memory>

namespace tolvar {

class TQtApplication;

class TToolApplication {
public:
    TToolApplication(int& argc, char** argv);
    ~TToolApplication();
    TToolApplication(const TToolApplication&) = delete;
    TToolApplication& operator=(const TToolApplication&) = delete;

private:
    std::unique_ptr<TQtApplication> app_;
};

} // namespace tolvar
