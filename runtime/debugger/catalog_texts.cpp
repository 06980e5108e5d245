// Built-in message texts: the library groups of "Libraries.catalog" and the
// flat table of "Debugger.catalog" (groups started by "_GROUP_" pairs).
#include "runtime/debugger/catalog_texts.h"

namespace kx {

namespace {

const LibraryMessage CommonMessages[] = {
    {"InitNeeded", "%s must be called successfuly before using any %s commands."},
    {"ScreenNeeded", "OpenScreen() or OpenWindowedScreen() must be called before using any %s commands."},
    {"CallOnce", "%s can be called only once."},
    {"CallNeeded", "%s must be successfully called before calling %s."},
    {"CallNeededAny", "%s must be successfully called before using this co,mmand."},
    {"CallNeededLib", "%s must be called before another %s function."},
    {"NoDrawingCall", "%s can't be called inside a StartDrawing()/StopDrawing() block."},
    {"HighNumber", "%s object number is very high (over %i), are You sure of that ?"},
    {"NoObject", "The specified %s is not initialized."},
    {"NullAddress", "Procedure address is null."},
    {"NullBuffer", "The specified buffer is 0."},
    {"NullPointer", "The specified pointer is null."},
    {"NullArgument", "The specified '%s' is null."},
    {"InvalidArgument", "The specified '%s' is not valid."},
    {"NullLength", "The specified length is 0."},
    {"NegativeLength", "The specified length is negative."},
    {"InvalidLength", "The specified length is not valid."},
    {"Negative", "The specified '%s' is negative."},
    {"NullNegative", "The specified '%s' is 0 or negative."},
    {"FileNotFound", "The specified file does not exist."},
    {"InvalidPort", "'Port' is not a valid port number."},
    {"OutOfRange", "'%s' is out of range."},
    {"NoLabel", "The specified '%s' is not a Label pointer."},
    {"NoProcedure", "The specified '%s' is not a Procedure pointer."},
    {"WrongType", "The Procedure specified in '%s' does not have the required argument or returntype."},
    {"", ""},
};

const LibraryMessage ThreadMessages[] = {
    {"InvalidThread", "The specified Thread does not exists."},
    {"InvalidMutex", "The specified Mutex does not exist."},
    {"InvalidSemaphore", "The specified Semaphore does not exist."},
    {"", ""},
};

const LibraryMessage MenuMessages[] = {
    {"NoCurrent", "There is no current Menu."},
    {"", ""},
};

const LibraryMessage ImageMessages[] = {
    {"HeightLarge", "Image 'Height' is > 32000 pixels."},
    {"WidthLarge", "Image 'Width' is > 32000 pixels."},
    {"", ""},
};

const LibraryMessage GadgetMessages[] = {
    {"NeedOpenGadgetList", "OpenGadgetList() must be called before calling AddGadgetItem() again on this Gadget."},
    {"NoOpenGadgetList", "CloseGadgetList() can only be called after OpenGadgetList(), PanelGadget(), ScrollAreaGadget() or ContainerGadget()."},
    {"NoGadgetList", "There is no current GadgetList."},
    {"NotDifferent", "#Gadget1 and #Gadget2 must be different."},
    {"SplitterChilds", "Cannot create SplitterGadget with same Number as one of its childs."},
    {"MozillaNotFound", "Mozilla embedding library not found. Call WebGadgetPath() first to specify its path."},
    {"", ""},
};

const LibraryMessage WindowMessages[] = {
    {"NeedOneWindow", "At least one window should be opened to use this command."},
    {"InvalidParent", "ParentID is not a valid WindowID()."},
    {"InvalidEvent", "The 'Event' value of AddKeyboardShortcut() has to be between 0 and 64000."},
    {"", ""},
};

const LibraryMessage CipherMessages[] = {
    {"SmallOutput", "The OutputLength should be atleast 33% more than the InputLength."},
    {"", ""},
};

const LibraryMessage FileMessages[] = {
    {"NegativeSeek", "Cannot seek to a negative position."},
    {"SeekBehindEnd", "Cannot seek beyond the end of the file."},
    {"", ""},
};

const LibraryMessage MemoryMessages[] = {
    {"NullAddress", "Specified address is null."},
    {"NullAlloc", "Can't allocate a memory block of size 0."},
    {"NegativeAlloc", "Can't allocate a memory block with a negative size."},
    {"NullSource", "Source memory pointer is 0."},
    {"NullDest", "Destination memory pointer is 0."},
    {"WrongLength", "Specified length is < -1."},
    {"", ""},
};

}  // namespace

#define KX_LIBRARY(name, group, messages) \
  LibraryTable name = {"Libraries.catalog", "KX_Libraries", group, 0, messages}

KX_LIBRARY(CommonLibrary, "Common", CommonMessages);
KX_LIBRARY(ThreadLibrary, "Thread", ThreadMessages);
KX_LIBRARY(MenuLibrary, "Menu", MenuMessages);
KX_LIBRARY(ImageLibrary, "Image", ImageMessages);
KX_LIBRARY(GadgetLibrary, "Gadget", GadgetMessages);
KX_LIBRARY(WindowLibrary, "Window", WindowMessages);
KX_LIBRARY(CipherLibrary, "Cipher", CipherMessages);
KX_LIBRARY(FileLibrary, "File", FileMessages);
KX_LIBRARY(MemoryLibrary, "Memory", MemoryMessages);

#undef KX_LIBRARY

LibraryTable* const BuiltInLibraries[] = {
    &CommonLibrary, &ThreadLibrary, &MenuLibrary,   &ImageLibrary, &GadgetLibrary,
    &WindowLibrary, &CipherLibrary, &FileLibrary,   &MemoryLibrary, nullptr,
};

const LibraryMessage DebuggerMessages[] = {
    {"_GROUP_", "Debugger"},
    {"OutOfMemory", "Debugger out of memory."},
    {"StackLow", "Error: Stack position is lower than at program start."},
    {"StackEmpty", "The Stack is empty."},
    {"StackAlign", "The Stack is not alligned at a 4byte position. The contents will be dumped as memory:"},
    {"TargetNotFound", "Cannot locate target variable."},
    {"AssignStructure", "Cannot assign a value to a structure."},
    {"AssignValue", "Missing a value to assign."},
    {"NumericString", "Can't write a numerical value into a string variable."},
    {"StringNumeric", "Can't write a string into a numerical variable."},
    {"Win9xDrawing", "Cannot halt Debugger inside StartDrawing(Sprite/ScreenOutput()) on Windows 95/98/ME."},
    {"Warning", "Warning"},

    {"_GROUP_", "DebuggerErrors"},
    {"1", "Division by zero forbidden."},
    {"2", "Modulo zero is forbidden (result in a zero divide)."},
    {"3", "Pointer is null."},
    {"4", "Array index out of bounds."},
    {"5", "The linked list doesn't have a current element."},
    {"6", "Structure array index out of bounds."},
    {"7", "Array size can't be negative."},
    {"8", "Only the last dimension of an array can be changed with ReDim."},
    {"9", "Read data error: no more data."},

    {"_GROUP_", "SystemErrors"},
    {"InvalidMemory", "Invalid memory access."},
    {"InvalidMemoryRead", "Invalid memory access. (read error at address %s)"},
    {"InvalidMemoryWrite", "Invalid memory access. (write error at address %s)"},
    {"PageError", "Memory page error."},
    {"StackOverflow", "Stack overflow."},
    {"IllegalInstruction", "Illegal instruction. (executing binary data?)"},
    {"DivisionByZero", "Division by zero."},
    {"FloatInvalid", "Invalid float operation."},
    {"FloatOverflow", "Float overflow."},
    {"FloatUnderflow", "Float underflow."},
    {"IntegerOverflow", "Integer overflow."},
    {"ArithmeticError", "Fatal arithmetic error."},
    {"BadCall", "Bad system call."},
    {"ProgramAbort", "Program aborted. (by external library)"},

    {"_GROUP_", "External"},
    {"InvalidStart", "An integer expression is expected as start address."},
    {"InvalidEnd", "An integer expression is expected as end address/length."},
    {"ArrayListNotFound", "Array or LinkedList not found."},
    {"WatchlistBig", "The watchlist is too big (1000 items), please remove variables."},
    {"NoStructure", "Invalid \"\\\". The variable is not a structure."},
    {"NoStructureFields", "Cannot access structure fields of pointers in the watchlist."},
    {"InvalidField", "Invalid structure field name."},
    {"LiteralOnly", "Only literal expressions are allowed as array index."},
    {"IntegerOnly", "Only integers are allowed as array index."},
    {"MissingBracket", "Cannot find matching ']' for structure array."},
    {"StructureArrayBounds", "Structure array index out of bounds."},
    {"VariableNotFound", "Variable not found."},
    {"InvalidCharacter", "Invalid character after Array/LinkedList."},
    {"InvalidListName", "Invalid LinkedList name."},
    {"InvalidName", "Invalid variable name."},
    {"NoStructureDisplay", "Cannot display entire structures in the watchlist."},

    {"_GROUP_", "Parser"},
    {"NoMemory", "Parser out of memory."},
    {"Token>", "Unsupported token: '>'"},
    {"Token<", "Unsupported token: '<'"},
    {"TokenBinary", "Malformed binary value."},
    {"TokenString", "Unterminated string literal"},
    {"TokenCharacter", "Unterminated character literal"},
    {"Token$", "Unexpected token: '$'"},
    {"TokenHex", "Malformed hexadecimal value."},
    {"TokenDecimal", "Malformed decimal value"},
    {"InvalidInput", "Unsupported input character: '%c'"},
    {"ArgumentExpected", "This operator expects another argument."},
    {"NumericString", "Cannot combine numeric value with a string."},
    {"InvalidStringOp", "Only the '+'-Operator can be used with strings."},
    {"FloatBinary", "Binary Operators cannot be used with floats."},
    {"NoStringOp", "This operator cannot be used with strings."},
    {"NoFloatOp", "The binary Operators cannot be used with floats."},
    {"UnmatchedLParen", "Unmatched '('."},
    {"UnmatchedLBracket", "Unmatched '['."},
    {"IdentifierExpected", "An identifier is expected."},
    {"IdentifierExpected@", "An identifier is expected after '@'."},
    {"IdentifierExpected?", "An identifier is expected after '?'."},
    {"ConstantExpected", "A constant name is expected after '#'."},
    {"UnexpectedToken", "Unexpected Token."},
    {"FieldExpected", "A structure field name is expected after '\\'."},
    {"IntegerIndex", "Only integers are allowed as index."},
    {"OutOfBounds", "Index out of bounds."},
    {"NoArray", "The structure field is not an array."},
    {"FieldNotFound", "Structure field not found:"},
    {"InvalidString", "The string pointer does not point to valid memory."},
    {"NullStructure", "The structure pointer is null."},
    {"InvalidStructure", "The structure pointer does not point to valid memory."},
    {"VariableNotFound", "Variable not found:"},
    {"UnexpectedCall", "This function cannot be called here."},
    {"NoAddress", "A library function has no address."},
    {"ArrayInit", "The array is not dimensioned yet."},
    {"MissingArrayParen", "An array needs '(' and its indexes."},
    {"NoDimensions", "The array has no dimensions."},
    {"TooFewDimensions", "Too few array dimensions."},
    {"TooManyDimensions", "Too many array dimensions."},
    {"MissingListParen", "A linked list needs '()'."},
    {"NoCurrentElement", "The linked list has no current element."},
    {"ArrayListNotFound", "Array or LinkedList not found:"},
    {"NoStructure", "The variable is not a structure."},
    {"Garbage", "Garbage at the end of the input."},
    {"MissingFunctionParen", "A function call needs '(' and ')'."},
    {"TooFewArguments", "Too few arguments for the function."},
    {"TooManyArguments", "Too many arguments for the function."},
    {"StringExpected", "A string argument is expected."},
    {"NumberExpected", "A numeric argument is expected."},
    {"InvalidMemory", "%s does not point to valid memory."},
    {"InvalidStringMemory", "%s does not point to valid string memory."},
    {"NoReplaceMode", "The replace mode 2 is not supported here."},
    {"LabelNotFound", "Label not found:"},
    {"ConstantNotFound", "Constant not found:"},

    {"_END_", ""},
};

}  // namespace kx
