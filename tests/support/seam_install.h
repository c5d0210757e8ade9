#pragma once

// Puts a stand-in in place of one of the program's seams for its lifetime and puts back what it
// found. A stand-in holds one as its last member, so that it is installed once fully built and
// taken out before anything of it is destroyed; being a member also makes the stand-in
// impossible to copy, which would install it twice.
namespace vutest {

template <class Seam, Seam* (*Install)(Seam*)> class SeamInstall {
public:
    explicit SeamInstall(Seam* seam) : previous_(Install(seam)) {}
    ~SeamInstall() { Install(previous_); }
    SeamInstall(const SeamInstall&) = delete;
    SeamInstall& operator=(const SeamInstall&) = delete;

private:
    Seam* previous_;
};

} // namespace vutest
