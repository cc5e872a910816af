// English (United States) string table.
#include "res/StringData.h"

namespace {

const ResStringEntry kTable[] = {
    {3103, "Good"},
    {3104, "Do you want Sonvera to automatically search for music files?"},
    {3105, "Awesome!"},
    {3106, "Average"},
    {3107, "Bad"},
    {3108, "Play control"},
    {3109, "Rating"},
    {3110, "Track information"},
    {3111, "Pause"},
    {3112, "Skip"},
    {3113, "Mood"},
    {3114, "Artist"},
    {3115, "Track"},
    {3116, "Album"},
    {3117, "Year"},
    {3118, "Genre"},
    {3119, "Play"},
    {3120, "Download"},
    {3121, "Exclude"},
    {3122, "Disabled"},
    {3123, "Not rated"},
    {3124, "Volume"},
    {3125, "Database: Total %d, Rated %d"},
    {3126, "Search"},
    {3127, "Welcome to Sonvera"},
    {3128, "Library"},
    {3129, "Searching for songs"},
    {3130, "Select a directory. This directory and all subdirectories will be searched for songs."},
    {3131, "The directory has been added. Information about the files will be gathered. This process might "
           "take a while with large mp3 collections."},
    {3132, "Connecting... %d downloads %d b/sec Down %d b/sec Up..."},
    {3133, "%d Connects %d downloads %d b/sec Down %d b/sec Up..."},
    {3134, "edit"},
    {3135, "An unexpected error occurred in %s, which has been stopped."},
    {3136, "Fatal Error..."},
    {3137, "Sonvera needs an update to your system. Please install the latest MDAC (Microsoft Data Access "
           "Components) from the data access components download page, which will open now. Sorry, have to "
           "quit..."},
    {3138, "Cannot find the Sonvera database file. Please make sure that 'Sonvera.mdb' is in the Sonvera "
           "directory. Sorry, have to quit now..."},
    {3139, "Retrieving..."},
    {3140, "Status"},
    {3141, "Progress"},
    {3142, "https://www.microsoft.com/en-us/download/details.aspx?id=5793"},
    {3143, "%d of %dkb"},
    {3144, "No Sources"},
    {3145, "Pending"},
    {3146, "Connecting"},
    {3147, "Connected"},
    {3148, "Sending"},
    {3149, "Receiving"},
    {3150, "Push"},
    {3151, "Closed"},
    {3152, "Completed"},
    {3153, "Cooling Down"},
    {3154, "Queued"},
    {3155, "Slow. 56.6kbps Dialup connection. (4 songs per hour)"},
    {3156, "Medium. 256 or 512kbps ADSL connection. (20 songs per hour)"},
    {3157, "Fast. 1.5Mbps ADSL connection. (60 songs per hour)"},
    {3158, "Ultrafast. 4Mbps or faster connection. (150+ songs per hour)"},
    {3160, "Lyrics"},
    {3161, "Photos"},
    {3162, "Buy"},
    {3163, "Links"},
    {3164, "Welcome to Sonvera!"},
    {3165, "IMPORTANT WARNING: Some functions of Sonvera are ILLEGAL in the UNITED STATES and some other "
           "countries!!!"},
    {3166, "The current implementation gives you the options to download music from peer-to-peer networks.  "
           "If other people are sharing copyrighted material, Sonvera could download these files and share "
           "them on your computer."},
    {3167, "Be aware that in some countries this is illegal. If you live in the United States you SHOULD NOT "
           "use the download function."},
    {3168, "Artists, bands and record companies: we would love to hear your suggestions. Please write to "
           "contact@sonvera.example."},
    {3169, ""},
    {3170, "Copyright (C) The Sonvera developers. All rights reserved."},
    {3171, "I UNDERSTAND SOME FUNCTIONS OF Sonvera COULD BE ILLEGAL TO USE!"},
    {3172, "Cancel"},
    {3173, "OK"},
    {3174, "Sonvera will automatically download new music. To make sure this music fits your taste please "
           "provide the names of a few artists you like. Music of these artists will be downloaded and added "
           "to the library."},
    {3175, "Please select the speed of you internet connection. Sonvera will optimize downloading speeds "
           "according to your connection speed. If you select the wrong connection speed the downloading of "
           "songs will be slower."},
    {3176, "Add artist/band to list"},
    {3177, "Info browser"},
    {3178, "Searching: %d found in %d seconds, Cleanup: %d seconds, Remove: %d seconds"},
    {3179, "No search: %d seconds, Cleanup: %d seconds, Remove: %d seconds"},
    {3180, "Rated "},
    {3181, "Download function cannot be used in the United Status as it is illegal."},
    {3182, "Could not load %s"},
    {3183, "No soundcard found."},
    {3184, "Excluded"},
    {3185, "Download activity"},
    {3186, "Artists queued for download"},
    {3187, "Current downloads"},
    {3188, "Delete"},
    {3189, "Delete all"},
    {3190, "Cannot locate WinAmp. Note: WinAmp 3.0 is not supported. Start WinAmp first and try again."},
    {3191, "Special thanks to"},
    {3192, "Supporters of the Sonvera revolution"},
    {3193, "Play rated tracks"},
    {3194, "Play tracks based on average artist ratings"},
    {3195, "Play tracks based on average genre ratings"},
    {3196, "Play random tracks"},
    {3197, "Never"},
    {3198, "Often"},
    {3199, "Play settings"},
    {3200, "Sonvera keeps playing. This desktop has no notification area to keep it in, so the window "
           "has been minimised instead. Choose \"Exit\" to close the program."},
    {3240, "a track you rated %s"},
    {3241, "an artist you rate %s on average"},
    {3242, "a genre you rate %s on average"},
    {3243, "something new"},
    {3244, "Chosen as %s: %s%% of the draw, one of %s candidates."},
    {3245, "Average rating in this mood: %s."},
    {3246, "The least recently played one was taken."},
    {3247, "It was taken at random."},
    {3248, "Drawn: %s (%s%% of the draw), which offered nothing, so something new was played: one of %s unrated tracks, taken at random."},
    {3249, "You chose this track yourself."},
    {3250, "No track has been picked yet."},
    {3251, "Why this track?"},
    {3252, "Learned: "},
    {3253, "Learn from skips"},
    {3254, "Its rating was learned from your skips."},
    {3260, "Notifications"},
    {3400, "Disk full or not writable"},
    {3401, "A download could not be saved in %s: the disk is full or the folder cannot be written. Make room or choose another folder; the download was stopped."},
};

}  // namespace

std::span<const ResStringEntry> Strings1033()
{
    return kTable;
}
