#pragma once

#include <map>
#include <string>

#include "support/FakeLinkRecorder.h"

namespace kp70::test {

// A printer's answers to "read one setting" (1D 28 45 02 00 06 n): "7" 27 n 1F text 00
// for the settings in the map, nothing for the others or for any other command.
inline FakeLinkRecorder::Responder AnswerSettings(std::map<int, std::string> answers) {
    return [answers](const FakeBytes& w) {
        FakeBytes reply;
        if (w.size() == 7 && w[0] == 0x1D && w[1] == 0x28 && w[2] == 0x45 && w[3] == 0x02 &&
            w[4] == 0x00 && w[5] == 0x06) {
            auto it = answers.find(w[6]);
            if (it == answers.end()) return reply;
            const std::string text = "7'" + std::to_string(w[6]) + "\x1F" + it->second;
            reply.assign(text.begin(), text.end());
            reply.push_back(0x00);
        }
        return reply;
    };
}

// Answers for every readable setting of a printer with a 300-dot margin, 58mm paper with
// 32 columns and a water mark with image 7.
inline std::map<int, std::string> TypicalAnswers() {
    return {{1, "2"},     {2, "5"},     {3, "3"},    {116, "1"},  {118, "85"}, {242, "17"},
            {243, "0"},   {244, "1"},   {245, "23"}, {246, "16"}, {247, "1"},  {248, "1"},
            {249, "200"}, {250, "144"}, {251, "0"},  {252, "20"}, {253, "1"},  {255, "4660"}};
}

}  // namespace kp70::test
