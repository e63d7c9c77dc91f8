// The texts of the script compiler's numbered messages, keyed by their named constants
// (script_scanner.h, namespace symmsg).

#include "highlight/script_scanner.h"

namespace tarnwick {

std::string SymMessageText(int id)
{
    switch (id) {
    case symmsg::kEqualsExpected: return "'=' expected";
    case symmsg::kLParenExpected: return "'(' expected";
    case symmsg::kRParenExpected: return "')' expected";
    case symmsg::kCommaExpected: return "',' expected";
    case symmsg::kLBracketExpected: return "'[' expected";
    case symmsg::kRBracketExpected: return "']' expected";
    case symmsg::kStringExpected: return "String value expected";
    case symmsg::kSyntaxError: return "Script syntax error";
    case symmsg::kExpressionExpected: return "Expression expected";
    case symmsg::kTooManyEditableStyles: return "Too many editable styles";
    case symmsg::kValue0To255: return "Value must be 0..255";
    case symmsg::kDuplicateWord: return "Duplicate entry in %%word table";
    case symmsg::kSingleCharSpec: return "Single character specifier expected";
    case symmsg::kMaxFourSpecs: return "Maximum of 4 character specifier allowed";
    case symmsg::kDuplicateHandler: return "Duplicate entry in %%handler table";
    case symmsg::kAmbiguousStartSet: return "Ambigious start set in %%token table";
    case symmsg::kDuplicateEffect: return "Duplicate %%effect entry";
    case symmsg::kBadFontStyle: return "Bad font style specifier";
    case symmsg::kUnexpectedEof: return "Unexpected EOF";
    case symmsg::kUnknownIdentifier: return "Unknown script identifier";
    case symmsg::kBlankKeyName: return "Key function name cannot be blank";
    case symmsg::kKeyRequired: return "Key specification required";
    case symmsg::kNotImplemented: return "Not implemented yet";
    case symmsg::kRecursiveMacro: return "Recursive expansion of macro '%s'";
    case symmsg::kErrorFormat: return "** ERROR near line %d, Column %d: %s";
    case symmsg::kIncludeUnterminated: return "#include filename missing terminating %s";
    case symmsg::kIncludeOpen: return "Unable to open #include file %s%s%s";
    case symmsg::kUnknownCharacter: return "Unknown character in input stream: #$%.2x";
    case symmsg::kRangeError: return "Range error, value outwith %d .. %d";
    case symmsg::kContextRespecified: return "Token value %d re-specified in ContextState";
    case symmsg::kIfdefName: return "Macro name expected after #ifdef";
    case symmsg::kIncludeForm: return "#include expects \"filename\" or <filename>";
    case symmsg::kMacroName: return "Macro name expected";
    default: return {};
    }
}

}  // namespace tarnwick
